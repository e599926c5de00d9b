// Texts with numbered placeholders: "%1" to "%9" in a resource text stand for
// values filled in where the text is used (a directory, a size, a count), so
// that each language puts them where its grammar wants them.
//
// Pure function, any thread.
#pragma once

#include <initializer_list>

#include "text/wide_string.h"

namespace veskp8 {

// `text` with every "%N" (N from 1 to the number of values, at most 9)
// replaced by the N-th value. A value is never searched for placeholders
// itself; "%" followed by anything else stays as it is.
[[nodiscard]] WideString FillPlaceholders(const WideString& text,
                                          std::initializer_list<WideString> values);

}  // namespace veskp8
