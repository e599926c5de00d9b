// Conversion between UTF-8 and the wide (UTF-16) strings, independent of the
// locale: for texts whose encoding is UTF-8 whatever the environment says
// (the resource table, GTK's widget texts).
//
// Utf8ToWide keeps what it cannot decode: a byte that is not part of a valid
// UTF-8 sequence (a stray continuation byte, a truncated or overlong
// sequence, an encoded surrogate, a value above U+10FFFF) becomes the escape
// unit U+DC00 + byte, the same escape the locale conversions use, so that
// such a byte reaches the file system unchanged.
//
// WideToUtf8 is for display: an escape unit or a lone surrogate has no UTF-8
// form and becomes U+FFFD (the replacement character); surrogate pairs are
// recombined. Both stop at the first NUL; empty in, empty out. Failures: none
// besides std::bad_alloc. Any thread.
#pragma once

#include <string_view>

#include "text/narrow_string.h"
#include "text/wide_string.h"

namespace veskp8 {

WideString Utf8ToWide(std::string_view text);
NarrowString WideToUtf8(const WideString& text);

}  // namespace veskp8
