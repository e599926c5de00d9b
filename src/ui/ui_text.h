// Resource texts for GTK: the text of a resource identifier in the current
// language, converted to the locale's encoding. Main thread only.
#pragma once

#include "text/narrow_string.h"
#include "text/wide_string.h"

namespace veskp8 {

// The wide text of `id` (empty for an unknown identifier).
WideString ResourceText(const char* id);
// The same text in the locale's encoding, for GTK calls.
NarrowString ResourceLabel(const char* id);

}  // namespace veskp8
