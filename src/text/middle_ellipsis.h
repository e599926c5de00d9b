// Shortening a text in its middle so that it fits a width: the start and the
// end stay, joined by "…" (U+2026). Used for a file name under the progress
// bar, where both the first directories and the file's own name matter.
//
// Pure function: no state, any thread. The width is measured by the caller's
// function (pixels of a font, or units), which must grow with the text.
#pragma once

#include <functional>

#include "text/wide_string.h"

namespace veskp8 {

// `text` itself when `measure(text)` <= `maxWidth`; otherwise the longest
// text made of a head and a tail of `text` around "…" that measures no more
// than `maxWidth` (the head gets the extra unit when the kept units are odd);
// a surrogate pair is never split. Just "…" when not even one unit fits.
[[nodiscard]] WideString MiddleEllipsis(const WideString& text, int maxWidth,
                                        const std::function<int(const WideString&)>& measure);

}  // namespace veskp8
