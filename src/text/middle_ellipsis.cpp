#include "text/middle_ellipsis.h"

namespace veskp8 {
namespace {

bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The head of `keep` units and the tail of the rest of them around "…",
// moved off the inside of a surrogate pair.
WideString Shortened(const WideString& text, std::size_t keep) {
  std::size_t head = (keep + 1) / 2;
  std::size_t tailStart = text.size() - (keep - head);
  if (head > 0 && head < text.size() && IsLowSurrogate(text[head])) --head;
  if (tailStart < text.size() && IsLowSurrogate(text[tailStart])) ++tailStart;
  WideString result = text.substr(0, head);
  result += u"\u2026";
  result += text.substr(tailStart);
  return result;
}

}  // namespace

WideString MiddleEllipsis(const WideString& text, int maxWidth,
                          const std::function<int(const WideString&)>& measure) {
  if (text.empty() || measure(text) <= maxWidth) return text;
  // The most units kept that still fit: the width grows with the units kept.
  std::size_t low = 0;
  std::size_t high = text.size() - 1;
  while (low < high) {
    const std::size_t middle = (low + high + 1) / 2;
    if (measure(Shortened(text, middle)) <= maxWidth) {
      low = middle;
    } else {
      high = middle - 1;
    }
  }
  return Shortened(text, low);
}

}  // namespace veskp8
