// KitEntry: one file of a distribution kit, and the rule that decides which
// entry names a kit may carry.
#pragma once

#include <cstdint>

#include "text/wide_string.h"

namespace veskp8 {

struct KitEntry {
  // Path of the file below the template directory, components separated by
  // "\" (kept as stored in the kit).
  WideString name;
  // Last-modification time in 100-nanosecond ticks since 1601-01-01 UTC.
  std::uint64_t modificationTime = 0;
  // Position of the contents. In a kit loaded by the reader this is absolute
  // (a byte position in the kit image); in the tables given to the kit writer
  // it is relative to the start of the data area.
  std::uint32_t dataOffset = 0;
  // Length of the contents in bytes.
  std::uint32_t dataSize = 0;
};

// True when `name` names exactly one file strictly below the template
// directory. Both "\" and "/" count as separators; a name is refused when it
// is empty, holds a zero unit, starts or ends with a separator, or has an
// empty, "." or ".." component. Everything else (spaces, dots inside
// components, any other unit) is accepted. Pure function, any thread.
bool IsSafeEntryName(const WideString& name);

}  // namespace veskp8
