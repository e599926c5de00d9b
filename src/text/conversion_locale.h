// The locale used by the text conversions and CompareNoCase (internal to
// src/text and its tests).
//
// It is built once, on first use, from the environment (LC_ALL / LC_CTYPE /
// LANG ...) with newlocale; when the environment names a locale that does not
// exist, the character-type category alone is tried, then "C". The process
// locale (setlocale) is never touched. Safe to call from any thread.
#pragma once

#include <locale.h>

namespace veskp8::text_internal {

locale_t ConversionLocale();

// Tests only: builds the locale again from the current environment. Must not
// run while another thread converts text; the previous locale is freed.
void ReloadConversionLocaleForTesting();

}  // namespace veskp8::text_internal
