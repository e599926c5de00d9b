#include "app/startup.h"

#include <cstring>
#include <string_view>

#include "resources/resource_table.h"
#include "text/conversion.h"
#include "text/utf8.h"

namespace veskp8 {
namespace {

constexpr char kUseCurrentDirectory[] = "usecwd";

}  // namespace

StartupRecord ScanCommandLine(int argc, char** argv, const EnvironmentLocale& environmentLocale) {
  StartupRecord record;
  record.m_argc = argc;
  record.m_argv = argv;
  record.m_languageIndex = kNoLanguage;

  int first = 1;
  // The whole argument, terminator included: "usecwdx" and "USECWD" do not count.
  if (argc >= 2 && std::strcmp(argv[1], kUseCurrentDirectory) == 0) {
    record.m_useCurrentDirectory = true;
    first = 2;
  }
  record.m_languageCode = u"en";

  for (int i = first; i < argc; ++i) {
    const char* argument = argv[i];
    if (argument[0] != '-' && argument[0] != '/') {
      continue;
    }
    const char letter = argument[1];
    if (letter == 'L' || letter == 'l') {
      const char* code = argument + 2;
      const int index = FindLanguageByCode(code);
      if (index != kNoLanguage) {
        record.m_languageIndex = index;
        record.m_languageCode = LocaleToWide(code);
      }
      break;
    }
    if (letter == 'S' || letter == 's') {
      record.m_silent = true;
    }
  }

  if (record.m_languageIndex == kNoLanguage) {
    if (const char* name = environmentLocale ? environmentLocale() : nullptr) {
      std::string_view code(name);
      if (code.size() >= 3) {
        code = code.substr(0, 2);
      }
      const int index = FindLanguageByCode(code);
      if (index != kNoLanguage) {
        record.m_languageIndex = index;
        record.m_languageCode = LocaleToWide(NarrowString(code));
      }
    }
  }

  if (record.m_languageIndex == kNoLanguage) {
    record.m_languageIndex = kEnglishLanguage;
  }
  return record;
}

NarrowString FetchWindowTitle(StartupRecord& record) {
  SetCurrentLanguage(record.m_languageIndex);
  record.m_windowTitle = LoadResourceString(IDR_MAINFRAME);
  return WideToUtf8(record.m_windowTitle);
}

NarrowString ToolkitLanguage(const StartupRecord& record) {
  const LanguageList& languages = GetLanguageList();
  const auto language = languages.find(record.m_languageIndex);
  if (language == languages.end()) return NarrowString("en");
  const std::string_view code = language->second.m_code.view();
  if (code == "zh") return NarrowString("zh_CN");
  if (code == "ar") return NarrowString("en");  // its texts are the English ones
  return language->second.m_code;
}

}  // namespace veskp8
