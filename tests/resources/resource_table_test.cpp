#include "resources/resource_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/conversion.h"
#include "text/utf8.h"

namespace veskp8 {
namespace {

// Looked up from this file's static initialisation, whose order relative to
// the table's own file is unspecified: the table must be usable anyway.
const WideString g_lookedUpBeforeMain = LoadResourceString(IDS_WIZARD_FINISH);

// Restores the current language when a test has changed it.
class CurrentLanguageGuard {
 public:
  CurrentLanguageGuard() : saved_(GetCurrentLanguage()) {}
  ~CurrentLanguageGuard() { SetCurrentLanguage(saved_); }
  CurrentLanguageGuard(const CurrentLanguageGuard&) = delete;
  CurrentLanguageGuard& operator=(const CurrentLanguageGuard&) = delete;

 private:
  int saved_;
};

const TextSet& TextsOf(int index) { return GetLanguageList().at(index).m_texts; }

std::string_view Text(int index, const char* identifier) {
  return TextsOf(index).at(identifier).view();
}

// Decodes UTF-8 strictly (no overlong forms, no surrogates, nothing above
// U+10FFFF); false on any fault.
bool DecodeUtf8(std::string_view bytes, std::u32string& out) {
  out.clear();
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    int extra = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, cp = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, cp = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, cp = lead & 0x07, minimum = 0x10000;
    } else {
      return false;
    }
    if (i + extra >= bytes.size()) return false;  // truncated sequence
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    out.push_back(cp);
    i += 1 + extra;
  }
  return true;
}

TEST(ResourceTable, LanguageListHoldsTheTwentyThreeCodes) {
  const std::vector<std::pair<int, std::string_view>> expected = {
      {1, "hy"},  {2, "az"},  {3, "bg"},  {4, "zh"},  {5, "en"},  {6, "fr"},
      {7, "ka"},  {8, "de"},  {9, "el"},  {10, "hu"}, {11, "it"}, {12, "kk"},
      {13, "lv"}, {14, "lt"}, {15, "pl"}, {16, "ro"}, {17, "ru"}, {18, "es"},
      {19, "tr"}, {20, "uk"}, {21, "vi"}, {22, "ar"}, {23, "tk"},
  };
  std::vector<std::pair<int, std::string_view>> actual;
  for (const auto& [index, entry] : GetLanguageList()) {
    actual.emplace_back(index, entry.m_code.view());
  }
  EXPECT_EQ(actual, expected);
}

TEST(ResourceTable, EveryLanguageHasAllIdentifiersWithValidNonEmptyText) {
  std::u32string decoded;
  for (const auto& [index, entry] : GetLanguageList()) {
    SCOPED_TRACE(entry.m_code.c_str());
    EXPECT_EQ(entry.m_texts.size(), kResourceIdentifiers.size());
    for (const char* identifier : kResourceIdentifiers) {
      const auto it = entry.m_texts.find(std::string_view(identifier));
      ASSERT_NE(it, entry.m_texts.end()) << identifier;
      const std::string_view text = it->second.view();
      EXPECT_FALSE(text.empty()) << identifier;
      ASSERT_TRUE(DecodeUtf8(text, decoded)) << identifier;
      for (char32_t cp : decoded) {
        EXPECT_GE(cp, U' ') << identifier << ": control character";
      }
      EXPECT_NE(text.front(), ' ') << identifier;
      EXPECT_NE(text.back(), ' ') << identifier;
    }
  }
}

TEST(ResourceTable, EnglishTextsAreTheProgramsOwn) {
  EXPECT_EQ(Text(5, IDS_WIZARD_BACK), "< Back");
  EXPECT_EQ(Text(5, IDS_WIZARD_NEXT), "Next >");
  EXPECT_EQ(Text(5, IDS_CHOOSEDIR_FOLDER), "&Folder:");
  EXPECT_EQ(Text(5, IDS_DEFPRODUCT), "<Product>");
  EXPECT_EQ(Text(5, IDS_DEFPROVIDER), "<Vendor>");
  EXPECT_EQ(Text(5, IDS_PREPARECOPY), "Preparing to copy...");
  EXPECT_EQ(Text(5, IDS_INSTALL_FINISH), "Copying complete...");
  EXPECT_EQ(Text(5, IDS_INSTALL_ERROR), "Installation error");
  EXPECT_EQ(Text(5, IDS_ERROR_DAMAGEDSOURCE),
            "Distribution kit file veskp8.efd corrupted or not designed for this installation "
            "program.");
  EXPECT_EQ(Text(5, IDS_ERROR_FINISH),
            "An error occurred during the installation process. Installation canceled. Template "
            "directory has not been changed.");
}

TEST(ResourceTable, ArabicEntryHoldsTheEnglishTextsAndOthersAreTranslated) {
  EXPECT_EQ(TextsOf(22), TextsOf(5));
  for (const auto& [index, entry] : GetLanguageList()) {
    if (index == 5 || index == 22) continue;
    SCOPED_TRACE(entry.m_code.c_str());
    int translated = 0;
    for (const char* identifier : kResourceIdentifiers) {
      translated += entry.m_texts.at(identifier) != TextsOf(5).at(identifier) ? 1 : 0;
    }
    EXPECT_GE(translated, 25);
    // No two languages share a text set.
    for (const auto& [otherIndex, other] : GetLanguageList()) {
      if (otherIndex != index) {
        EXPECT_NE(entry.m_texts, other.m_texts) << other.m_code.c_str();
      }
    }
  }
}

TEST(ResourceTable, TranslationsKeepTheirMarkersAndNames) {
  for (const auto& [index, entry] : GetLanguageList()) {
    SCOPED_TRACE(entry.m_code.c_str());
    const TextSet& t = entry.m_texts;
    EXPECT_EQ(t.at(IDR_MAINFRAME), t.at(IDS_TITLE_INSTALLER));
    // Back and Next both point their way ("< Back", "Next >"), or, where the
    // arrows do not fit the buttons beside the words, neither does.
    const std::string_view back = t.at(IDS_WIZARD_BACK).view();
    const std::string_view next = t.at(IDS_WIZARD_NEXT).view();
    EXPECT_EQ(back.starts_with("< "), next.ends_with(" >")) << back << " " << next;
    if (!back.starts_with("< ")) {
      EXPECT_EQ(back.find_first_of("<>"), std::string_view::npos) << back;
      EXPECT_EQ(next.find_first_of("<>"), std::string_view::npos) << next;
    }
    for (const char* placeholder : {IDS_DEFPRODUCT, IDS_DEFPROVIDER}) {
      const std::string_view text = t.at(placeholder).view();
      EXPECT_TRUE(text.size() > 2 && text.front() == '<' && text.back() == '>') << text;
    }
    // One mnemonic marker, directly before a letter.
    const std::string_view folder = t.at(IDS_CHOOSEDIR_FOLDER).view();
    const std::size_t amp = folder.find('&');
    ASSERT_NE(amp, std::string_view::npos) << folder;
    EXPECT_EQ(folder.find('&', amp + 1), std::string_view::npos) << folder;
    ASSERT_LT(amp + 1, folder.size());
    const char marked = folder[amp + 1];
    EXPECT_TRUE(marked != ' ' && marked != ':' && marked != '&') << folder;
    EXPECT_NE(t.at(IDS_ERROR_NOSOURCE).view().find("veskp8.efd"), std::string_view::npos);
    EXPECT_NE(t.at(IDS_ERROR_DAMAGEDSOURCE).view().find("veskp8.efd"), std::string_view::npos);
    EXPECT_NE(t.at(IDS_ERROR_NOSPACE).view().find("Temp"), std::string_view::npos);
    for (const char* progress : {IDS_PREPARECOPY, IDS_INSTALL_FINISH, IDS_PROGRESS_START}) {
      EXPECT_TRUE(t.at(progress).view().ends_with("...")) << progress;
    }
  }
}

TEST(ResourceTable, TextsAreWrittenInTheirLanguagesScript) {
  struct Script {
    int index;
    char32_t first;
    char32_t last;
  };
  const Script scripts[] = {
      {1, 0x0531, 0x058F},  // Armenian
      {3, 0x0400, 0x04FF},  // Bulgarian: Cyrillic
      {4, 0x4E00, 0x9FFF},  // Chinese: CJK ideographs
      {7, 0x10A0, 0x10FF},  // Georgian
      {9, 0x0370, 0x03FF},  // Greek
      {12, 0x0400, 0x04FF}, {17, 0x0400, 0x04FF}, {20, 0x0400, 0x04FF},
  };
  std::u32string decoded;
  for (const Script& script : scripts) {
    SCOPED_TRACE(script.index);
    for (const char* identifier : {IDS_WELCOME_TITLE, IDS_BROWSE_OK, IDS_TEMPLATE_CATALOG}) {
      ASSERT_TRUE(DecodeUtf8(Text(script.index, identifier), decoded));
      int inScript = 0;
      for (char32_t cp : decoded) inScript += (cp >= script.first && cp <= script.last) ? 1 : 0;
      EXPECT_GT(inScript * 2, static_cast<int>(decoded.size())) << identifier;
    }
  }
}

TEST(ResourceLookup, CurrentLanguageStartsAsEnglishAndTableWorksBeforeMain) {
  EXPECT_EQ(GetCurrentLanguage(), kEnglishLanguage);
  EXPECT_EQ(g_lookedUpBeforeMain, u"Finish");
}

TEST(ResourceLookup, GivesTheTextOfTheCurrentLanguage) {
  CurrentLanguageGuard guard;
  SetCurrentLanguage(5);
  EXPECT_EQ(LoadResourceString(IDS_WIZARD_NEXT), u"Next >");
  EXPECT_EQ(LoadResourceString(IDR_MAINFRAME), u"Installing configuration");
  EXPECT_EQ(LoadResourceString(IDS_TITLE_INSTALLER), LoadResourceString(IDR_MAINFRAME));
  SetCurrentLanguage(22);
  EXPECT_EQ(GetCurrentLanguage(), 22);
  EXPECT_EQ(LoadResourceString(IDS_WIZARD_NEXT), u"Next >");
  EXPECT_EQ(LoadResourceString(IDS_CHOOSEDIR_FOLDER), u"&Folder:");
  // Every language's text comes out as the UTF-8 decoding of its bytes,
  // whatever the locale: the Russian Cancel is Cyrillic in C and KOI8-R too.
  SetCurrentLanguage(17);
  EXPECT_EQ(LoadResourceString(IDS_WIZARD_CANCEL), u"Отмена");
  for (const auto& [index, entry] : GetLanguageList()) {
    SetCurrentLanguage(index);
    for (const char* identifier : kResourceIdentifiers) {
      EXPECT_EQ(LoadResourceString(identifier), Utf8ToWide(entry.m_texts.at(identifier).view()))
          << entry.m_code.c_str() << " " << identifier;
    }
  }
}

TEST(ResourceLookup, UnknownIdentifierOrLanguageGivesEmptyText) {
  CurrentLanguageGuard guard;
  SetCurrentLanguage(5);
  for (const char* unknown : {"IDS_WIZARD_NEX", "IDS_WIZARD_NEXT ", "ids_wizard_next", "", "en"}) {
    EXPECT_TRUE(LoadResourceString(unknown).empty()) << unknown;
  }
  for (int index : {0, 24, -1, 100}) {
    SetCurrentLanguage(index);
    for (const char* identifier : kResourceIdentifiers) {
      EXPECT_TRUE(LoadResourceString(identifier).empty()) << index << " " << identifier;
    }
  }
}

TEST(ResourceLookup, FindsLanguagesByExactCode) {
  EXPECT_EQ(FindLanguageByCode("ru"), 17);
  EXPECT_EQ(FindLanguageByCode("en"), 5);
  EXPECT_EQ(FindLanguageByCode("tk"), 23);
  EXPECT_EQ(FindLanguageByCode("hy"), 1);
  EXPECT_EQ(FindLanguageByCode("el"), 9);
  EXPECT_EQ(FindLanguageByCode("es"), 18);
  EXPECT_EQ(FindLanguageByCode("ar"), 22);
  for (const char* miss : {"RU", "ru_RU", "", "C", "r", "pt", "rus", "e"}) {
    EXPECT_EQ(FindLanguageByCode(miss), kNoLanguage) << miss;
  }
  // The code is compared by length too, not as a C string prefix.
  EXPECT_EQ(FindLanguageByCode(std::string_view("ru\0", 3)), kNoLanguage);
}

// The texts are UTF-8 and come out right in a UTF-8 locale. The conversion
// reads the environment's locale once, so this runs in a fresh child process
// that starts with LC_ALL set.
TEST(ResourceLookupDeathTest, RussianTextsComeOutAsCyrillicInARussianUtf8Locale) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const char* saved = std::getenv("LC_ALL");
  const std::string savedValue = saved ? saved : "";
  ASSERT_EQ(setenv("LC_ALL", "ru_RU.UTF-8", 1), 0);
  EXPECT_EXIT(
      {
        SetCurrentLanguage(17);
        const bool ok = LoadResourceString(IDS_WIZARD_NEXT) == u"Далее >" &&
                        LoadResourceString(IDR_MAINFRAME) == u"Установка конфигурации" &&
                        LoadResourceString(IDS_CHOOSEDIR_FOLDER) == u"&Каталог:";
        std::exit(ok ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
  if (saved) {
    setenv("LC_ALL", savedValue.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
}

}  // namespace
}  // namespace veskp8
