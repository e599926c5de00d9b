#include "app/startup.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "resources/resource_table.h"
#include "text/conversion.h"

namespace veskp8 {
namespace {

// A command line "veskp8-setup <arguments...>" and the locale name the
// environment would give; counts how often the locale was asked for.
class CommandLine {
 public:
  explicit CommandLine(const std::vector<const char*>& arguments, const char* locale = "C")
      : locale_(locale) {
    strings_.emplace_back("veskp8-setup");
    for (const char* argument : arguments) strings_.emplace_back(argument);
    for (std::string& s : strings_) argv_.push_back(s.data());
    argv_.push_back(nullptr);
  }

  StartupRecord Scan() {
    return ScanCommandLine(argc(), argv_.data(), [this] {
      ++localeCalls_;
      return locale_;
    });
  }

  int argc() const { return static_cast<int>(strings_.size()); }
  char** argv() { return argv_.data(); }
  int localeCalls() const { return localeCalls_; }

 private:
  std::vector<std::string> strings_;
  std::vector<char*> argv_;
  const char* locale_;
  int localeCalls_ = 0;
};

TEST(ScanCommandLine, NoArgumentsFollowsTheLocale) {
  CommandLine line({}, "ru_RU.UTF-8");
  const StartupRecord record = line.Scan();
  EXPECT_EQ(record.m_argc, 1);
  EXPECT_EQ(record.m_argv, line.argv());
  EXPECT_EQ(record.m_languageIndex, 17);
  EXPECT_EQ(record.m_languageCode, u"ru");
  EXPECT_FALSE(record.m_silent);
  EXPECT_FALSE(record.m_useCurrentDirectory);
  EXPECT_TRUE(record.m_windowTitle.empty());
  EXPECT_EQ(line.localeCalls(), 1);
}

TEST(ScanCommandLine, UseCurrentDirectoryOnlyAsTheWholeFirstArgument) {
  {
    CommandLine line({"usecwd", "-S"});
    const StartupRecord record = line.Scan();
    EXPECT_TRUE(record.m_useCurrentDirectory);
    EXPECT_TRUE(record.m_silent);
    EXPECT_EQ(record.m_argc, 3);
  }
  {
    CommandLine line({"-S", "usecwd"});
    const StartupRecord record = line.Scan();
    EXPECT_FALSE(record.m_useCurrentDirectory);
    EXPECT_TRUE(record.m_silent);
  }
  for (const char* notIt : {"usecwdx", "USECWD", "usecw", "Usecwd", " usecwd", ""}) {
    CommandLine line({notIt});
    EXPECT_FALSE(line.Scan().m_useCurrentDirectory) << notIt;
  }
  // After usecwd the options are still read.
  CommandLine line({"usecwd", "-Lru", "-S"});
  const StartupRecord record = line.Scan();
  EXPECT_TRUE(record.m_useCurrentDirectory);
  EXPECT_EQ(record.m_languageIndex, 17);
  EXPECT_TRUE(record.m_silent);
}

TEST(ScanCommandLine, LanguageOptionWithEitherPrefixAndCase) {
  for (const char* option : {"/Lde", "-lde", "-Lde", "/lde"}) {
    CommandLine line({option}, "ru_RU.UTF-8");
    const StartupRecord record = line.Scan();
    EXPECT_EQ(record.m_languageIndex, 8) << option;
    EXPECT_EQ(record.m_languageCode, u"de") << option;
    // A chosen language leaves the process locale alone.
    EXPECT_EQ(line.localeCalls(), 0) << option;
  }
  CommandLine spanish({"-Les"});
  EXPECT_EQ(spanish.Scan().m_languageIndex, 18);
  CommandLine greek({"-Lel"});
  EXPECT_EQ(greek.Scan().m_languageIndex, 9);
}

TEST(ScanCommandLine, UnknownLanguageCodeFallsToTheLocaleThenEnglish) {
  for (const char* option : {"-LDE", "-Lde_DE", "-L", "-Lpt", "-L de"}) {
    CommandLine russian({option}, "ru_RU.UTF-8");
    StartupRecord record = russian.Scan();
    EXPECT_EQ(record.m_languageIndex, 17) << option;
    EXPECT_EQ(record.m_languageCode, u"ru") << option;
    EXPECT_EQ(russian.localeCalls(), 1) << option;

    CommandLine plain({option}, "C");
    record = plain.Scan();
    EXPECT_EQ(record.m_languageIndex, kEnglishLanguage) << option;
    EXPECT_EQ(record.m_languageCode, u"en") << option;
  }
}

TEST(ScanCommandLine, EveryOptionCountsWhereverItStands) {
  // (Once the first L option ended the scan: "-Lfr -S" was interactive.)
  struct Case {
    std::vector<const char*> args;
    int language;
    bool silent;
  };
  const Case cases[] = {
      {{"-Lfr", "-S"}, 6, true},
      {{"-S", "-Lfr"}, 6, true},
      {{"-Lde", "/s", "-Lru"}, 8, true},            // the first L option decides
      {{"-L", "-S", "-Lde"}, kEnglishLanguage, true},  // ... also when it names nothing
      {{"-Lxx", "-Lde"}, kEnglishLanguage, false},
  };
  for (const Case& c : cases) {
    CommandLine line(c.args, "C");
    const StartupRecord record = line.Scan();
    EXPECT_EQ(record.m_languageIndex, c.language) << c.args[0] << " " << c.args[1];
    EXPECT_EQ(record.m_silent, c.silent) << c.args[0] << " " << c.args[1];
  }
}

TEST(ScanCommandLine, SilentOptionAndIgnoredArguments) {
  for (const char* option : {"-S", "/S", "-s", "/s", "-Sxyz"}) {
    CommandLine line({option});
    EXPECT_TRUE(line.Scan().m_silent) << option;
  }
  CommandLine ignored({"-X", "-", "/", "word", "S", "L", "", "--S", "-Zde"}, "C");
  const StartupRecord record = ignored.Scan();
  EXPECT_FALSE(record.m_silent);
  EXPECT_FALSE(record.m_useCurrentDirectory);
  EXPECT_EQ(record.m_languageIndex, kEnglishLanguage);
  EXPECT_EQ(record.m_languageCode, u"en");
  EXPECT_EQ(record.m_argc, 10);
}

TEST(ScanCommandLine, LocaleNameIsCutToTwoCharacters) {
  struct Case {
    const char* locale;
    int index;
    const char16_t* code;
  };
  const Case cases[] = {
      {"ru_RU.UTF-8", 17, u"ru"}, {"C", 5, u"en"},      {"pt_BR.UTF-8", 5, u"en"},
      {"de", 8, u"de"},           {"ru", 17, u"ru"},    {"r", 5, u"en"},
      {"el_GR.UTF-8", 9, u"el"},  {"es_ES", 18, u"es"}, {"C.UTF-8", 5, u"en"},
      {"POSIX", 5, u"en"},        {"RU_RU", 5, u"en"},  {"", 5, u"en"},
      {nullptr, 5, u"en"},
  };
  for (const Case& c : cases) {
    CommandLine line({}, c.locale);
    const StartupRecord record = line.Scan();
    EXPECT_EQ(record.m_languageIndex, c.index) << (c.locale ? c.locale : "(no name)");
    EXPECT_EQ(record.m_languageCode, c.code) << (c.locale ? c.locale : "(no name)");
  }
}

TEST(FetchWindowTitle, SetsTheCurrentLanguageAndKeepsTheTitle) {
  const int saved = GetCurrentLanguage();
  {
    CommandLine line({"-Lar"});
    StartupRecord record = line.Scan();
    const NarrowString title = FetchWindowTitle(record);
    EXPECT_EQ(GetCurrentLanguage(), 22);
    EXPECT_EQ(record.m_windowTitle, u"Installing configuration");
    EXPECT_EQ(title, "Installing configuration");
  }
  {
    CommandLine line({"-lru"});
    StartupRecord record = line.Scan();
    const NarrowString title = FetchWindowTitle(record);
    EXPECT_EQ(GetCurrentLanguage(), 17);
    const NarrowString& russian = GetLanguageList().at(17).m_texts.at(IDR_MAINFRAME);
    EXPECT_EQ(record.m_windowTitle, u"Установка конфигурации");
    EXPECT_EQ(title, russian);  // UTF-8 for GTK, whatever the locale
    EXPECT_NE(record.m_windowTitle, u"Installing configuration");
  }
  {
    CommandLine line({}, "C");
    StartupRecord record = line.Scan();
    EXPECT_EQ(FetchWindowTitle(record), "Installing configuration");
    EXPECT_EQ(GetCurrentLanguage(), kEnglishLanguage);
  }
  SetCurrentLanguage(saved);
}

}  // namespace
}  // namespace veskp8

namespace veskp8 {
namespace {

TEST(ToolkitLanguage, GtkSpeaksTheInstallersLanguage) {
  struct Case {
    int index;
    const char* expected;
  } cases[] = {{8, "de"}, {17, "ru"}, {9, "el"}, {4, "zh_CN"}, {22, "en"}, {5, "en"}, {0, "en"}};
  for (const Case& c : cases) {
    StartupRecord record;
    record.m_languageIndex = c.index;
    EXPECT_EQ(ToolkitLanguage(record), c.expected) << c.index;
  }
  // The chosen language, not the desktop's: -Lde under a Russian locale.
  CommandLine line({"-Lde"}, "ru_RU.UTF-8");
  EXPECT_EQ(ToolkitLanguage(line.Scan()), "de");
}

TEST(ScanUnattendedOptions, QuietAndDirectoryAreFoundPastTheEndOfTheLanguageScan) {
  // -Q after -L counts and makes the run silent.
  StartupRecord record =
      CommandLine({"-Lde", "/q", "-Dfirst", "-d\\srv\\t\\", "-Kone", "/k/etc/keys"}).Scan();
  EXPECT_EQ(std::string(record.m_keyFile.c_str()), "/etc/keys");  // the last K, as given
  EXPECT_EQ(record.m_languageCode, u"de");
  EXPECT_TRUE(record.m_quiet);
  EXPECT_TRUE(record.m_silent);
  EXPECT_TRUE(record.m_hasTargetDirectory);
  EXPECT_EQ(record.m_targetDirectory, u"/srv/t/");  // the last one, "\\" turned into "/"
  EXPECT_EQ(record.m_information, StartupRecord::Information::kNone);

  // A lone -D has an empty value; the next argument is an option of its own
  // ("/srv/t" reads as S).
  record = CommandLine({"-D", "/srv/t"}).Scan();
  EXPECT_TRUE(record.m_hasTargetDirectory);
  EXPECT_TRUE(record.m_targetDirectory.empty());
  EXPECT_TRUE(record.m_silent);
  EXPECT_FALSE(record.m_quiet);

  // Words and other letters are not these options; --help and --version
  // count anywhere, the first of them wins.
  record = CommandLine({"Q", "D/x", "-X", "-Lfr", "--version", "--help"}).Scan();
  EXPECT_FALSE(record.m_quiet);
  EXPECT_FALSE(record.m_hasTargetDirectory);
  EXPECT_EQ(record.m_information, StartupRecord::Information::kVersion);
  EXPECT_EQ(CommandLine({"usecwd", "--help"}).Scan().m_information,
            StartupRecord::Information::kHelp);
}

}  // namespace
}  // namespace veskp8
