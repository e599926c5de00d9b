#include "ui/ui_text.h"

#include "resources/resource_table.h"
#include "text/utf8.h"

namespace veskp8 {

WideString ResourceText(const char* id) { return LoadResourceString(id); }

NarrowString ResourceLabel(const char* id) { return WideToUtf8(LoadResourceString(id)); }

NarrowString GtkText(const WideString& text) { return WideToUtf8(text); }

WideString FromGtkText(const char* text) {
  return text == nullptr ? WideString() : Utf8ToWide(text);
}

}  // namespace veskp8
