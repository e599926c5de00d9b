#include "app/startup.h"

#include <cstring>
#include <string_view>

#include "resources/resource_table.h"
#include "text/conversion.h"
#include "text/string_ops.h"
#include "text/utf8.h"

namespace veskp8 {
namespace {

constexpr char kUseCurrentDirectory[] = "usecwd";

constexpr char kUsage[] =
    "Usage: veskp8-setup [usecwd] [OPTION]...\n"
    "Installs the configuration templates of the distribution kit veskp8.efd that\n"
    "lies beside this program (with usecwd as the first argument: in the current\n"
    "directory): with a wizard, or unattended with -Q.\n"
    "\n"
    "Options start with - or /, and their letter may be in either case.\n"
    "  -S          silent: install at once into the proposed directory\n"
    "  -Q          quiet, unattended: no window, no message box, no X display\n"
    "              needed; implies -S; the outcome is the exit status\n"
    "  -DDIR       install into DIR, an absolute path in the same argument\n"
    "              (the wizard starts its directory page from it)\n"
    "  -LCODE      language of the texts: hy az bg zh en fr ka de el hu it kk lv\n"
    "              lt pl ro ru es tr uk vi ar tk (the first -L counts)\n"
    "  --help      print this text and exit\n"
    "  --version   print the version and exit\n"
    "Every option counts wherever it stands. An argument that starts with / is an\n"
    "option: write -D/srv/t, not -D /srv/t.\n"
    "\n"
    "Exit status with -Q:\n"
    "  0   installed, or everything was already up to date\n"
    "  2   kit not found\n"
    "  3   kit damaged or not meant for this installer\n"
    "  4   not enough free space in the temporary directory\n"
    "  5   no usable template directory\n"
    "  6   installation failed, or the files do not fit the template directory;\n"
    "      the template directory is as it was\n"
    "  7   installation failed and the template directory could not be fully\n"
    "      restored (the backup is kept; its path on standard error)\n"
    "  8   another installation into that directory is in progress\n"
    "  9   installed, but the launcher configuration could not be updated\n"
    "  10  an interrupted earlier installation could not be fully undone\n"
    "  128+N  ended by signal N (SIGTERM, SIGINT, SIGHUP) after rolling back\n"
    "Each failure is one line on standard error. On 0 and 9, standard output gets\n"
    "  new=N replaced=N unchanged=N registered=yes|no target=DIR\n"
    "Without -Q the exit status is 0, or 1 when no display can be opened.\n";

constexpr char kVersion[] = "veskp8-setup " VESKP8_VERSION "\n";

bool IsOption(const char* argument) { return argument[0] == '-' || argument[0] == '/'; }

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

  bool languageSeen = false;
  for (int i = first; i < argc; ++i) {
    const char* argument = argv[i];
    if (!IsOption(argument)) {
      continue;
    }
    const char letter = argument[1];
    if (letter == 'L' || letter == 'l') {
      // The first L option decides, found or not; the scan goes on, so that
      // every other option counts wherever it stands ("-Lfr -S" is silent).
      if (languageSeen) continue;
      languageSeen = true;
      const char* code = argument + 2;
      const int index = FindLanguageByCode(code);
      if (index != kNoLanguage) {
        record.m_languageIndex = index;
        record.m_languageCode = LocaleToWide(code);
      }
      continue;
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
  ScanUnattendedOptions(argc, argv, record);
  return record;
}

void ScanUnattendedOptions(int argc, char** argv, StartupRecord& record) {
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    const std::string_view whole(argument);
    if (record.m_information == StartupRecord::Information::kNone) {
      if (whole == "--help") record.m_information = StartupRecord::Information::kHelp;
      if (whole == "--version") record.m_information = StartupRecord::Information::kVersion;
    }
    if (!IsOption(argument)) continue;
    const char letter = argument[1];
    if (letter == 'Q' || letter == 'q') {
      record.m_quiet = true;
      record.m_silent = true;
    } else if (letter == 'D' || letter == 'd') {
      record.m_hasTargetDirectory = true;
      record.m_targetDirectory = LocaleToWide(argument + 2);
      ReplaceAll(record.m_targetDirectory, ForeignSeparator(), PathSeparator());
    }
  }
}

const char* UsageText() { return kUsage; }

const char* VersionText() { return kVersion; }

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
