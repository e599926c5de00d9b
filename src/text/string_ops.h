// Operations on wide strings used to build paths, messages and configuration
// values. None keeps state; all may be called from any thread.
#pragma once

#include <cstdint>

#include "text/wide_string.h"

namespace veskp8 {

// The path separator "/" and the foreign separator "\" of kits and
// configuration values.
const WideString& PathSeparator();
const WideString& ForeignSeparator();

WideString operator+(const WideString& a, const WideString& b);
WideString operator+(const WideString& a, const char16_t* b);
WideString operator+(const char16_t* a, const WideString& b);

// Decimal text of a number: "0", "8", "-15", "-2147483648".
WideString DecimalText(std::int32_t value);

// Appends [first, last), which may lie inside `s` itself.
void AppendRange(WideString& s, const char16_t* first, const char16_t* last);

// Replaces every non-overlapping occurrence of `needle`, scanning left to
// right; replaced text is never searched again. Empty needle: no change.
void ReplaceAll(WideString& s, const WideString& needle, const WideString& replacement);

// strcasecmp of the two texts in the locale's encoding (ASCII folding in
// UTF-8 locales): negative, zero or positive.
int CompareNoCase(const WideString& a, const WideString& b);

// True when `s` is exactly "/".
bool IsSeparator(const WideString& s);

}  // namespace veskp8
