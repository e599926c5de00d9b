#include "kit/kit_entry.h"

namespace veskp8 {

bool IsSafeEntryName(const WideString& name) {
  const std::u16string_view units = name.view();
  if (units.empty()) return false;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= units.size(); ++i) {
    if (i < units.size() && units[i] == 0) return false;
    if (i == units.size() || units[i] == u'\\' || units[i] == u'/') {
      // A component ends here: [start, i). Covers a leading or trailing
      // separator (empty first or last component) and doubled separators.
      const std::u16string_view component = units.substr(start, i - start);
      if (component.empty() || component == u"." || component == u"..") return false;
      start = i + 1;
    }
  }
  return true;
}

}  // namespace veskp8
