// Conversion of a path to the form the system calls take (internal to the
// file-system services).
#pragma once

#include "text/narrow_string.h"
#include "text/wide_string.h"

namespace veskp8 {

// The locale form of `path`. False when the path holds a zero unit or a unit
// the locale's encoding cannot represent: the path would reach the system
// shortened or altered, so it must not be used (`out` is then unspecified).
[[nodiscard]] bool ToNativePath(const WideString& path, NarrowString& out);

}  // namespace veskp8
