#include "text/placeholders.h"

namespace veskp8 {

WideString FillPlaceholders(const WideString& text, std::initializer_list<WideString> values) {
  WideString result;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == u'%' && i + 1 < text.size() && text[i + 1] >= u'1' && text[i + 1] <= u'9') {
      const std::size_t n = static_cast<std::size_t>(text[i + 1] - u'1');
      if (n < values.size()) {
        result += values.begin()[n];
        i += 2;
        continue;
      }
    }
    result.push_back(text[i]);
    ++i;
  }
  return result;
}

}  // namespace veskp8
