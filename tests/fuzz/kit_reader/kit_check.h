// What every kit the reader accepts must satisfy, stated independently of the
// reader: each entry's data range lies inside the image and each name is one
// relative file path (non-empty "\" or "/" separated components, none "." or
// "..", no zero unit); no two names give the same destination bytes; the
// tables stay within the budget and the description cap. Aborts on a
// violation.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "kit/kit_archive.h"
#include "text/conversion.h"

namespace veskp8 {

inline void CheckAcceptedKit(const KitArchive& kit, int imageHandle) {
  struct stat st;
  if (fstat(imageHandle, &st) != 0) std::abort();
  if (static_cast<std::uint64_t>(st.st_size) != kit.imageSize()) std::abort();
  if (kit.descriptions().size() > kMaxKitDescriptions) std::abort();
  if (KitTablesCost(kit.descriptions(), kit.entries()) > kKitTableBudget) std::abort();
  std::set<std::string> destinations;
  for (const KitEntry& e : kit.entries()) {
    if (std::uint64_t{e.dataOffset} + e.dataSize > static_cast<std::uint64_t>(st.st_size)) {
      std::abort();
    }
    const std::u16string_view name = e.name.view();
    if (name.empty()) std::abort();
    std::u16string component;
    for (std::size_t i = 0; i <= name.size(); ++i) {
      const bool end = i == name.size();
      if (!end && name[i] == 0) std::abort();
      if (end || name[i] == u'\\' || name[i] == u'/') {
        if (component.empty() || component == u"." || component == u"..") std::abort();
        component.clear();
      } else {
        component.push_back(name[i]);
      }
    }
    std::u16string slashed(name);
    for (char16_t& c : slashed) c = c == u'\\' ? u'/' : c;
    NarrowString bytes;
    if (WideToLocaleChecked(WideString(slashed), bytes) &&
        !destinations.insert(std::string(bytes.view())).second) {
      std::abort();
    }
  }
}

}  // namespace veskp8
