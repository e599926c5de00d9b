#include "install/fs/native_path.h"

#include "text/conversion.h"

namespace veskp8 {

bool ToNativePath(const WideString& path, NarrowString& out) {
  if (path.view().find(u'\0') != std::u16string_view::npos) return false;
  return WideToLocaleChecked(path, out);
}

}  // namespace veskp8
