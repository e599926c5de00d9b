// Texts for GTK. GTK takes and gives UTF-8 whatever the locale (C over SSH,
// KOI8-R, ...), so every text crosses to and from it through these, never
// through the locale conversions (those stay for file-system calls).
// Main thread only.
#pragma once

#include "text/narrow_string.h"
#include "text/wide_string.h"

namespace veskp8 {

// The wide text of `id` in the current language (empty for an unknown id).
WideString ResourceText(const char* id);
// The same text as UTF-8, for GTK calls.
NarrowString ResourceLabel(const char* id);

// A wide text for a GTK call: UTF-8. Units without a UTF-8 form (bytes of a
// file name the locale could not decode, lone surrogates) show as U+FFFD.
NarrowString GtkText(const WideString& text);
// A text GTK gave (UTF-8) as a wide string; null gives an empty one.
WideString FromGtkText(const char* text);

}  // namespace veskp8
