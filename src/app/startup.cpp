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
    "  -KFILE      trust the public kit-signing keys in FILE too (minisign format)\n"
    "              for this run; the kit must then carry a valid signature\n"
    "              veskp8.efd.minisig by a trusted key\n"
    "  -LCODE      language of the texts: hy az bg zh en fr ka de el hu it kk lv\n"
    "              lt pl ro ru es tr uk vi ar tk (the first -L counts)\n"
    "  --dry-run   with -Q: make every check and tell what the installation would\n"
    "              change (lines \"new PATH\", \"replace PATH\", then the summary),\n"
    "              changing nothing: no directory, journal, lock or registration\n"
    "  --verify    with -Q: compare the installed files with the kit by content\n"
    "              (lines \"missing PATH\", \"modified PATH\"; \"touched PATH\" for the\n"
    "              same bytes with another time); changes nothing\n"
    "  --repair    with -Q: install, replacing every file whose bytes differ from\n"
    "              the kit's whatever its time, leaving equal ones; with --dry-run:\n"
    "              tell what it would replace\n"
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
    "  11  --dry-run: the installation would change something\n"
    "  12  --verify: a kit file is missing or its bytes differ\n"
    "  13  the kit's signature is bad, by a key that is not trusted, or missing\n"
    "      while trusted keys exist, or a trusted-key file cannot be used\n"
    "  14  unknown option with -Q, or options that do not go together; nothing\n"
    "      was done\n"
    "  128+N  ended by signal N (SIGTERM, SIGINT, SIGHUP) after rolling back\n"
    "Each failure is one line on standard error. On 0 and 9 (and 11), the last\n"
    "line on standard output is\n"
    "  new=N replaced=N unchanged=N registered=yes|no changed=yes|no signed=KEYID|no\n"
    "  target=DIR\n"
    "with DIR (and each PATH) in single quotes when it holds a space, a quote,\n"
    "= or another sign a shell reads.\n"
    "Without -Q the exit status is 0, or 1 when GTK 2 or a display is missing.\n"
    "Trusted keys: those built in, /etc/veskp8/trusted-keys (only when it and its\n"
    "directory belong to root and are not writable by group or others) and -K.\n"
    "With none, an unsigned kit installs as it is.\n";

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
    if (whole == "--dry-run") record.m_dryRun = true;
    if (whole == "--verify") record.m_verify = true;
    if (whole == "--repair") record.m_repair = true;
    if (!IsOption(argument)) continue;
    const char letter = argument[1];
    const bool known =
        std::string_view("LlSsQqDdKk").find(letter) != std::string_view::npos && letter != '\0';
    const bool named = whole == "--help" || whole == "--version" || whole == "--dry-run" ||
                       whole == "--verify" || whole == "--repair";
    if (!known && !named && record.m_unknownOption.empty()) {
      record.m_unknownOption = NarrowString(argument);
    }
    if (letter == 'Q' || letter == 'q') {
      record.m_quiet = true;
      record.m_silent = true;
    } else if (letter == 'D' || letter == 'd') {
      record.m_hasTargetDirectory = true;
      record.m_targetDirectory = LocaleToWide(argument + 2);
      ReplaceAll(record.m_targetDirectory, ForeignSeparator(), PathSeparator());
    } else if (letter == 'K' || letter == 'k') {
      record.m_keyFile = NarrowString(argument + 2);
    }
  }
}

UsageError FindUsageError(const StartupRecord& record) {
  UsageError error;
  if (record.m_quiet && !record.m_unknownOption.empty()) {
    error.id = IDS_USAGE_UNKNOWN;
    error.option = record.m_unknownOption;
  } else if (!record.m_quiet && (record.m_dryRun || record.m_verify || record.m_repair)) {
    error.id = IDS_USAGE_NEEDQUIET;
    error.option = record.m_dryRun ? "--dry-run" : record.m_verify ? "--verify" : "--repair";
  } else if (record.m_verify && record.m_repair) {
    error.id = IDS_USAGE_CONFLICT;
    error.option = "--repair";
  }
  return error;
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
