#include "ui/ui_text.h"

#include "resources/resource_table.h"
#include "text/conversion.h"

namespace veskp8 {

WideString ResourceText(const char* id) { return LoadResourceString(id); }

NarrowString ResourceLabel(const char* id) { return WideToLocale(LoadResourceString(id)); }

}  // namespace veskp8
