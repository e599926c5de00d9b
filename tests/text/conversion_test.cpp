// Conversions between the locale's encoding and UTF-16, with the locale
// taken from the environment (LC_ALL is set and the cached locale rebuilt).
#include "text/conversion.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

#include "text/conversion_locale.h"

namespace veskp8 {
namespace {

// Sets LC_ALL for the conversions of one test and restores it afterwards.
class EnvLocale {
 public:
  explicit EnvLocale(const char* name) {
    const char* old = std::getenv("LC_ALL");
    had_old_ = old != nullptr;
    if (had_old_) old_ = old;
    setenv("LC_ALL", name, 1);
    text_internal::ReloadConversionLocaleForTesting();
  }
  ~EnvLocale() {
    if (had_old_) {
      setenv("LC_ALL", old_.c_str(), 1);
    } else {
      unsetenv("LC_ALL");
    }
    text_internal::ReloadConversionLocaleForTesting();
  }
  EnvLocale(const EnvLocale&) = delete;
  EnvLocale& operator=(const EnvLocale&) = delete;

 private:
  bool had_old_ = false;
  std::string old_;
};

std::string Bytes(const NarrowString& s) { return std::string(s.c_str(), s.size()); }

TEST(ConversionTest, EmptyAndAsciiAndEmbeddedZero) {
  EnvLocale locale("en_US.UTF-8");
  EXPECT_TRUE(LocaleToWide(NarrowString()).empty());
  EXPECT_TRUE(WideToLocale(WideString()).empty());
  NarrowString out("unchanged");
  EXPECT_TRUE(WideToLocaleChecked(WideString(), out));
  EXPECT_TRUE(out.empty());

  EXPECT_EQ(u"ru", LocaleToWide(NarrowString("ru")).view());
  EXPECT_EQ(u"ru", LocaleToWide("ru").view());
  EXPECT_EQ("ru", Bytes(WideToLocale(WideString(u"ru"))));

  const char16_t with_zero[] = {u'a', u'b', 0, u'c', u'd'};
  EXPECT_EQ("ab", Bytes(WideToLocale(WideString(with_zero, 5))));
  NarrowString narrow_zero("xy\0zw", 5);
  EXPECT_EQ(u"xy", LocaleToWide(narrow_zero).view());
}

TEST(ConversionTest, Utf8TextAndAstralCharacters) {
  EnvLocale locale("ru_RU.UTF-8");
  const char* russian = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";  // "Привет"
  const WideString wide = LocaleToWide(russian);
  EXPECT_EQ(u"\u041F\u0440\u0438\u0432\u0435\u0442", wide.view());
  EXPECT_EQ(russian, Bytes(WideToLocale(wide)));

  // U+1F600 (4 bytes in UTF-8) becomes a surrogate pair and comes back whole.
  const char* astral = "a\xF0\x9F\x98\x80z";
  const WideString pair = LocaleToWide(astral);
  ASSERT_EQ(4u, pair.size());
  EXPECT_EQ(0xD83D, pair[1]);
  EXPECT_EQ(0xDE00, pair[2]);
  NarrowString back;
  ASSERT_TRUE(WideToLocaleChecked(pair, back));
  EXPECT_EQ(astral, Bytes(back));
}

TEST(ConversionTest, InvalidBytesRoundTripAsEscapes) {
  EnvLocale locale("en_US.UTF-8");
  // A lone continuation byte, a truncated sequence, an overlong form, an
  // encoded surrogate and a byte that never occurs in UTF-8.
  const std::string raw = std::string("ok\x80/\xC3") + "\xC0\xAF" + "\xED\xA0\x80" + "\xFF" + "!";
  const WideString wide = LocaleToWide(NarrowString(raw));
  EXPECT_EQ(u'o', wide[0]);
  EXPECT_EQ(0xDC80, wide[2]);
  EXPECT_EQ(u'/', wide[3]);
  EXPECT_EQ(0xDCC3, wide[4]);
  EXPECT_EQ(0xDCFF, wide[wide.size() - 2]);
  NarrowString back;
  ASSERT_TRUE(WideToLocaleChecked(wide, back));
  EXPECT_EQ(raw, Bytes(back));
  EXPECT_EQ(raw, Bytes(WideToLocale(wide)));

  // Every byte value 1..255 survives the round trip.
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  ASSERT_TRUE(WideToLocaleChecked(LocaleToWide(NarrowString(all)), back));
  EXPECT_EQ(all, Bytes(back));
}

// Any byte string (without NUL) survives locale -> wide -> locale in every
// encoding the tests know, and the checked conversion accepts the result.
TEST(ConversionTest, RandomBytesRoundTripInEveryLocale) {
  std::mt19937 random(2026);
  std::uniform_int_distribution<int> byte(1, 255);
  std::uniform_int_distribution<int> length(0, 40);
  for (const char* name : {"en_US.UTF-8", "ru_RU.UTF-8", "ru_RU.KOI8-R", "C"}) {
    EnvLocale locale(name);
    for (int i = 0; i < 2000; ++i) {
      std::string raw(static_cast<std::size_t>(length(random)), ' ');
      for (char& c : raw) c = static_cast<char>(byte(random));
      const WideString wide = LocaleToWide(NarrowString(raw));
      NarrowString back;
      ASSERT_TRUE(WideToLocaleChecked(wide, back)) << name;
      ASSERT_EQ(raw, Bytes(back)) << name;
    }
  }
}

// Valid UTF-16 (BMP characters and surrogate pairs) survives wide -> UTF-8 ->
// wide unchanged.
TEST(ConversionTest, RandomUtf16RoundTripInUtf8) {
  EnvLocale locale("en_US.UTF-8");
  std::mt19937 random(7);
  std::uniform_int_distribution<std::uint32_t> code(1, 0x10FFFF);
  for (int i = 0; i < 2000; ++i) {
    std::u16string text;
    for (int n = 0; n < 12; ++n) {
      std::uint32_t cp = code(random);
      if (cp >= 0xD800 && cp <= 0xDFFF) cp = u'?';
      if (cp > 0xFFFF) {
        text.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
        text.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
      } else {
        text.push_back(static_cast<char16_t>(cp));
      }
    }
    NarrowString narrow;
    ASSERT_TRUE(WideToLocaleChecked(WideString(text), narrow));
    ASSERT_EQ(text, std::u16string(LocaleToWide(narrow).view()));
  }
}

TEST(ConversionTest, LoneSurrogatesAreReported) {
  EnvLocale locale("en_US.UTF-8");
  const char16_t high[] = {u'a', 0xD800, u'b', 0};
  const char16_t low[] = {u'a', 0xDC10, u'b', 0};  // low surrogate, not a byte escape
  const char16_t reversed[] = {0xDE00, 0xD83D, 0};
  for (const char16_t* text : {high, low, reversed}) {
    NarrowString out("kept");
    EXPECT_FALSE(WideToLocaleChecked(WideString(text), out));
    EXPECT_EQ("kept", Bytes(out));
  }
  EXPECT_EQ("ab", Bytes(WideToLocale(WideString(high))));
  EXPECT_EQ("ab", Bytes(WideToLocale(WideString(low))));
  EXPECT_EQ("", Bytes(WideToLocale(WideString(reversed))));
}

TEST(ConversionTest, CharacterMissingFromKoi8rIsReported) {
  EnvLocale locale("ru_RU.KOI8-R");
  const WideString mixed(u"\u0414\u00E9x");  // Cyrillic De, e-acute (not in KOI8-R), x
  NarrowString out;
  EXPECT_FALSE(WideToLocaleChecked(mixed, out));
  EXPECT_EQ("\xE4x", Bytes(WideToLocale(mixed)));  // De is 0xE4 in KOI8-R
  ASSERT_TRUE(WideToLocaleChecked(WideString(u"\u0414a"), out));
  EXPECT_EQ(
      "\xE4"
      "a",
      Bytes(out));
  EXPECT_EQ(u"\u0414a", LocaleToWide(out).view());
}

TEST(ConversionTest, CLocaleKeepsHighBytes) {
  EnvLocale locale("C");
  const std::string raw = "caf\xE9 \xD0\x9F";
  const WideString wide = LocaleToWide(NarrowString(raw));
  EXPECT_EQ(0xDCE9, wide[3]);
  NarrowString back;
  ASSERT_TRUE(WideToLocaleChecked(wide, back));
  EXPECT_EQ(raw, Bytes(back));
  EXPECT_FALSE(WideToLocaleChecked(WideString(u"caf\u00E9"), back));
}

TEST(ConversionTest, MissingLocaleFallsBackToC) {
  EnvLocale locale("xx_YY.NOPE");
  EXPECT_EQ(u"plain", LocaleToWide("plain").view());
  EXPECT_EQ(0xDCC3, LocaleToWide("\xC3\xA9")[0]);
}

// A missing locale in one category must not cost the text encoding.
TEST(ConversionTest, MissingCategoryKeepsTheEncoding) {
  EnvLocale locale("");
  const char* lang = std::getenv("LANG");
  const std::string saved_lang = lang != nullptr ? lang : "";
  unsetenv("LC_ALL");
  unsetenv("LC_CTYPE");
  setenv("LANG", "ru_RU.UTF-8", 1);
  setenv("LC_MESSAGES", "xx_YY.NOPE", 1);
  text_internal::ReloadConversionLocaleForTesting();
  EXPECT_EQ(u"\u0414", LocaleToWide("\xD0\x94").view());
  unsetenv("LC_MESSAGES");
  if (lang != nullptr) {
    setenv("LANG", saved_lang.c_str(), 1);
  } else {
    unsetenv("LANG");
  }
}

TEST(ConversionTest, ProcessLocaleIsLeftAlone) {
  const std::string before = std::setlocale(LC_ALL, nullptr);
  {
    EnvLocale locale("de_DE.UTF-8");
    (void)LocaleToWide("gr\xC3\xBC\xC3\x9F");
    (void)WideToLocale(WideString(u"gr\u00FC\u00DF"));
  }
  EXPECT_EQ(before, std::setlocale(LC_ALL, nullptr));
}

TEST(ConversionTest, HomeDirectoryFollowsHome) {
  const char* old = std::getenv("HOME");
  const std::string saved = old != nullptr ? old : "";
  setenv("HOME", "/tmp/veskp8 home", 1);
  EXPECT_EQ(u"/tmp/veskp8 home", HomeDirectory().view());
  if (old != nullptr) {
    setenv("HOME", saved.c_str(), 1);
  } else {
    unsetenv("HOME");
  }
}

}  // namespace
}  // namespace veskp8
