// UTF-8 <-> UTF-16 without the locale: valid text both ways, undecodable
// bytes kept as escape units, and what display does with units UTF-8 lacks.
#include "text/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace veskp8 {
namespace {

TEST(Utf8, DecodesAndEncodesEveryLength) {
  const std::string text = "a\xC3\xA9\xD0\x96\xE4\xB8\xAD\xF0\x9F\x98\x80";  // a é Ж 中 😀
  const WideString wide = Utf8ToWide(text);
  EXPECT_EQ(wide, WideString(u"a\u00E9\u0416\u4E2D\U0001F600"));
  EXPECT_EQ(WideToUtf8(wide), NarrowString(text.c_str()));
  EXPECT_TRUE(Utf8ToWide("").empty());
  EXPECT_EQ(Utf8ToWide(std::string_view("ab\0cd", 5)), WideString(u"ab"));
}

TEST(Utf8, KeepsUndecodableBytesAsEscapesAndShowsThemAsReplacement) {
  // KOI8-R "Ж" (0xF6), a stray continuation byte, an overlong "/", an encoded
  // surrogate and a sequence cut short.
  const std::string bad = "\xF6|\x80|\xC0\xAF|\xED\xA0\x80|\xE4\xB8";
  const WideString wide = Utf8ToWide(bad);
  EXPECT_EQ(wide, WideString(u"\xDCF6|\xDC80|\xDCC0\xDCAF|\xDCED\xDCA0\xDC80|\xDCE4\xDCB8"));
  EXPECT_EQ(WideToUtf8(wide),
            NarrowString("\xEF\xBF\xBD|\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD|"
                         "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD"));
  // A lone high surrogate at the end has no UTF-8 form either.
  EXPECT_EQ(WideToUtf8(WideString(u"x\xD83D")), NarrowString("x\xEF\xBF\xBD"));
}

}  // namespace
}  // namespace veskp8
