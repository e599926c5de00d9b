// What every kit the reader accepts must satisfy, stated independently of the
// reader: each entry's data range lies inside the image and each name is one
// relative file path (non-empty "\" or "/" separated components, none "." or
// "..", no zero unit). Aborts on a violation.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "kit/kit_archive.h"

namespace veskp8 {

inline void CheckAcceptedKit(const KitArchive& kit, int imageHandle) {
  struct stat st;
  if (fstat(imageHandle, &st) != 0) std::abort();
  if (static_cast<std::uint64_t>(st.st_size) != kit.imageSize()) std::abort();
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
  }
}

}  // namespace veskp8
