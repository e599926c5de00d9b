// Middle ellipsis and numbered placeholders.
#include <gtest/gtest.h>

#include <string>

#include "text/middle_ellipsis.h"
#include "text/placeholders.h"
#include "text/utf8.h"

namespace veskp8 {
namespace {

// Each unit one pixel, "…" three: small numbers that are easy to check.
int Units(const WideString& text) {
  int width = 0;
  for (std::size_t i = 0; i < text.size(); ++i) width += text[i] == u'\u2026' ? 3 : 1;
  return width;
}

TEST(MiddleEllipsis, KeepsStartAndEndWithinTheWidth) {
  struct Case {
    const char16_t* text;
    int width;
    const char16_t* expected;
  };
  const Case cases[] = {
      {u"abcdefghij", 10, u"abcdefghij"},  // fits as it is
      {u"abcdefghij", 9, u"abc\u2026hij"},  // 6 units + 3
      {u"abcdefghij", 8, u"abc\u2026ij"},  // 5 units: the head takes the odd one
      {u"abcdefghij", 7, u"ab\u2026ij"},
      {u"abcdefghij", 4, u"a\u2026"},
      {u"abcdefghij", 2, u"\u2026"},  // not even one unit: the ellipsis alone
      {u"", 0, u""},
  };
  for (const Case& c : cases) {
    const WideString shown = MiddleEllipsis(WideString(c.text), c.width, Units);
    EXPECT_EQ(shown, WideString(c.expected)) << c.width;
    if (c.width >= 3) {
      EXPECT_LE(Units(shown), c.width);
    }
  }
  // A surrogate pair on either side of the cut stays whole.
  const WideString astral = Utf8ToWide("ab\U0001F600cd\U0001F600ef");
  for (int width = 3; width < Units(astral); ++width) {
    const WideString shown = MiddleEllipsis(astral, width, Units);
    for (std::size_t i = 0; i < shown.size(); ++i) {
      const bool high = shown[i] >= 0xD800 && shown[i] <= 0xDBFF;
      const bool low = shown[i] >= 0xDC00 && shown[i] <= 0xDFFF;
      if (high) {
        EXPECT_TRUE(i + 1 < shown.size() && shown[i + 1] >= 0xDC00) << width;
      }
      if (low) {
        EXPECT_TRUE(i > 0 && shown[i - 1] >= 0xD800 && shown[i - 1] <= 0xDBFF) << width;
      }
    }
  }
}

TEST(Placeholders, FillsNumberedValuesOnce) {
  EXPECT_EQ(FillPlaceholders(u"%2 of %1, %2 again", {u"A", u"B"}), WideString(u"B of A, B again"));
  // Values are not searched again; unknown and foreign markers stay.
  EXPECT_EQ(FillPlaceholders(u"%1 %3 100% %", {u"%2", u"x"}), WideString(u"%2 %3 100% %"));
  EXPECT_EQ(FillPlaceholders(u"end %", {}), WideString(u"end %"));
}

}  // namespace
}  // namespace veskp8
