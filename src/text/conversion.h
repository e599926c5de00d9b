// Conversion between the locale's multibyte encoding and UTF-16, and the
// home-directory lookup.
//
// Both conversions use the encoding of the environment's locale (LC_ALL /
// LC_CTYPE / LANG as the environment sets them), never change the process
// locale, and may run on any thread at the same time.
//
// The locale is built once from the environment (see conversion_locale.h);
// a process that changes its environment's locale afterwards keeps converting
// with the first one.
//
// They are lossless for everything the system handles:
// - a byte that is not valid in the locale's encoding becomes the unit
//   U+DC00 + byte, and LocaleToWide/WideToLocale turn it back into the same
//   byte, so every file name and file content round-trips byte for byte.
//   Bytes below 0x80 are valid in every encoding in use, so the escapes are
//   U+DC80..U+DCFF; the wide-to-locale direction writes such a unit as its
//   byte wherever it stands, and treats U+DC00..U+DC7F as lone surrogates.
//   (In the "C" locale every byte from 0x80 on is such an escape.)
// - characters above U+FFFF become surrogate pairs, and pairs are recombined;
// - both stop at the first NUL (byte or unit); empty in, empty out.
// Failures: none besides std::bad_alloc; the results are new values.
#pragma once

#include "text/narrow_string.h"
#include "text/wide_string.h"

namespace veskp8 {

WideString LocaleToWide(const NarrowString& text);
WideString LocaleToWide(const char* text);

// For display: text that the locale's encoding cannot represent (a character
// the encoding lacks, a lone surrogate that is not a byte escape) is dropped;
// the convertible rest is returned.
NarrowString WideToLocale(const WideString& text);

// For paths and file contents: false when any unit cannot be represented;
// `out` is then left unchanged and must not be used.
[[nodiscard]] bool WideToLocaleChecked(const WideString& text, NarrowString& out);

// What the shell word "~" expands to (wordexp), as a wide string; empty when
// the home directory cannot be found. wordexp reads the environment (HOME,
// else the password database): do not call it while another thread changes
// the environment.
WideString HomeDirectory();

}  // namespace veskp8
