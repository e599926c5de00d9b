// How the decoders of src/text store what they read as UTF-16 units
// (internal to src/text).
#pragma once

#include <string>

namespace veskp8::text_internal {

// A byte that does not decode is kept as the lone low surrogate
// kEscapeBase + byte, so that encoding the text again gives the byte back.
inline constexpr char16_t kEscapeBase = 0xDC00;

inline void AppendEscapedByte(std::u16string& out, char byte) {
  out.push_back(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(byte)));
}

// Appends `cp` (at most 0x10FFFF) as one unit, or as a surrogate pair when it
// lies above 0xFFFF.
inline void AppendCodePoint(std::u16string& out, char32_t cp) {
  if (cp > 0xFFFF) {
    const char32_t v = cp - 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(cp));
  }
}

}  // namespace veskp8::text_internal
