// Concatenation, decimal text, range append, replace-all, case-insensitive
// comparison and the separator test.
#include "text/string_ops.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "text/conversion_locale.h"

namespace veskp8 {
namespace {

TEST(ConcatenationTest, ResultFormAndExactCapacity) {
  const WideString one(u"a");
  const WideString two = one + WideString(u"b");
  EXPECT_TRUE(two.is_inline());
  EXPECT_EQ(u"ab", two.view());

  const WideString five(u"12345");
  const WideString ten = five + five;
  EXPECT_FALSE(ten.is_inline());
  EXPECT_EQ(12u, ten.capacity());  // exactly 10 units + the count
  EXPECT_EQ(u"1234512345", ten.view());

  const WideString copy = ten + u"";
  EXPECT_EQ(ten.view(), copy.view());
  EXPECT_EQ(u"/x/12345", (u"/x/" + five).view());
  EXPECT_EQ(u"12345.cfg", (five + u".cfg").view());
  EXPECT_EQ(u"12345", five.view());
}

TEST(DecimalTextTest, Values) {
  EXPECT_EQ(u"0", DecimalText(0).view());
  EXPECT_EQ(u"8", DecimalText(8).view());
  EXPECT_EQ(u"-15", DecimalText(-15).view());
  EXPECT_EQ(u"1000", DecimalText(1000).view());
  EXPECT_EQ(u"2147483647", DecimalText(INT32_MAX).view());
  EXPECT_EQ(u"-2147483648", DecimalText(INT32_MIN).view());
}

TEST(AppendRangeTest, RangeInsideTheString) {
  WideString s(u"0123456789");
  AppendRange(s, s.c_str() + 2, s.c_str() + 9);  // reallocates
  EXPECT_EQ(u"01234567892345678", s.view());
  AppendRange(s, s.c_str(), s.c_str());
  EXPECT_EQ(17u, s.size());
  const char16_t more[] = u"xyz";
  AppendRange(s, more, more + 3);
  EXPECT_EQ(u"01234567892345678xyz", s.view());
}

TEST(ReplaceAllTest, SeparatorsAndLengthChanges) {
  WideString path(u"a\\b\\c.txt");
  ReplaceAll(path, ForeignSeparator(), PathSeparator());
  EXPECT_EQ(u"a/b/c.txt", path.view());

  WideString plain(u"no separators in here");
  WideString copy = plain;
  ReplaceAll(plain, ForeignSeparator(), PathSeparator());
  EXPECT_EQ(plain.block(), copy.block());  // nothing found: nothing detached

  WideString shared(u"x\\y\\z\\w\\v\\u");
  WideString keep = shared;
  ReplaceAll(shared, ForeignSeparator(), PathSeparator());
  EXPECT_EQ(u"x/y/z/w/v/u", shared.view());
  EXPECT_EQ(u"x\\y\\z\\w\\v\\u", keep.view());

  WideString grow(u"aXbXc");
  ReplaceAll(grow, WideString(u"X"), WideString(u"<XX>"));  // inserted text not rescanned
  EXPECT_EQ(u"a<XX>b<XX>c", grow.view());
  EXPECT_EQ(13u, grow.capacity());  // exactly 11 units + count

  WideString shrink(u"aaaa");
  ReplaceAll(shrink, WideString(u"aa"), WideString(u"b"));  // no overlap
  EXPECT_EQ(u"bb", shrink.view());
  WideString overlap(u"aaa");
  ReplaceAll(overlap, WideString(u"aa"), WideString(u"b"));
  EXPECT_EQ(u"ba", overlap.view());

  WideString gone(u"abab");
  ReplaceAll(gone, WideString(u"ab"), WideString());
  EXPECT_TRUE(gone.empty());

  WideString unchanged(u"abc");
  ReplaceAll(unchanged, WideString(), WideString(u"x"));
  EXPECT_EQ(u"abc", unchanged.view());
  WideString empty;
  ReplaceAll(empty, WideString(u"a"), WideString(u"b"));
  EXPECT_TRUE(empty.empty());

  WideString self(u"self");
  ReplaceAll(self, self, WideString(u"other text"));
  EXPECT_EQ(u"other text", self.view());
}

TEST(CompareNoCaseTest, AsciiFoldsNonAsciiDoesNotInUtf8) {
  setenv("LC_ALL", "en_US.UTF-8", 1);
  text_internal::ReloadConversionLocaleForTesting();
  EXPECT_EQ(0, CompareNoCase(WideString(u"ConfigurationTemplatesLocation"),
                             WideString(u"configurationtemplateslocation")));
  EXPECT_LT(CompareNoCase(WideString(u"abc"), WideString(u"ABD")), 0);
  EXPECT_GT(CompareNoCase(WideString(u"b"), WideString(u"A")), 0);
  EXPECT_NE(0, CompareNoCase(WideString(u"\u00C4pfel"), WideString(u"\u00E4pfel")));
  EXPECT_EQ(0, CompareNoCase(WideString(u"\u00E4PFEL"), WideString(u"\u00E4pfel")));
  unsetenv("LC_ALL");
  text_internal::ReloadConversionLocaleForTesting();
}

TEST(IsSeparatorTest, ExactlyOneSlash) {
  EXPECT_TRUE(IsSeparator(WideString(u"/")));
  EXPECT_TRUE(IsSeparator(PathSeparator()));
  EXPECT_FALSE(IsSeparator(WideString()));
  EXPECT_FALSE(IsSeparator(WideString(u"//")));
  EXPECT_FALSE(IsSeparator(ForeignSeparator()));
  EXPECT_EQ(u"\\", ForeignSeparator().view());
}

}  // namespace
}  // namespace veskp8
