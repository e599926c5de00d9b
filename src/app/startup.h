// What the installer starts with: the command line scanned for its options
// ("usecwd" as the first argument, -L<code> / /L<code>, -S / /S; in a pass of
// their own -Q / /Q, -D<dir> / /D<dir> and -K<file> / /K<file>; --help and
// --version) and the
// language of the user-visible texts chosen from the -L option, the
// environment's locale or English. No GTK here, so the choice can be tested
// without a display.
//
// Only the main thread uses this, at start-up, before any other thread exists.
#pragma once

#include <functional>

#include "text/narrow_string.h"
#include "text/wide_string.h"

namespace veskp8 {

// The startup record and the values the entry routine hands to the installer
// dialog. Lives on the entry routine's stack for the whole run; m_argv points
// into the process arguments and is not owned.
struct StartupRecord {
  int m_argc = 0;
  char** m_argv = nullptr;   // as received, unchanged
  int m_languageIndex = 0;   // index into the language list; 0 until chosen
  WideString m_windowTitle;  // empty until FetchWindowTitle

  WideString m_languageCode = u"en";   // the code that selected the language
  bool m_silent = false;               // an S option was given (or a Q option)
  bool m_useCurrentDirectory = false;  // argv[1] is exactly "usecwd"

  // The unattended mode and the template directory (ScanUnattendedOptions).
  bool m_quiet = false;               // a Q option was given
  bool m_hasTargetDirectory = false;  // a D option was given ...
  WideString m_targetDirectory;       // ... the last one's value, "\" turned into "/"
  NarrowString m_keyFile;             // a K option's file (the last one); empty: none

  // --dry-run, --verify, --repair (the unattended mode's actions).
  bool m_dryRun = false;
  bool m_verify = false;
  bool m_repair = false;
  // The first argument that looks like an option ('-' or '/' first) and is
  // none of the above; empty when there is none. An error with -Q.
  NarrowString m_unknownOption;

  // --help or --version: print that and end, before anything else happens.
  enum class Information { kNone, kHelp, kVersion };
  Information m_information = Information::kNone;
};

// Sets the process locale from the environment and returns its name (the
// result of setlocale(LC_ALL, "")), or nullptr when that fails.
using EnvironmentLocale = std::function<const char*()>;

// Scans the command line and chooses the language:
// - m_useCurrentDirectory when argc >= 2 and argv[1] is exactly "usecwd"
//   (case-sensitive, whole word); the option scan then starts at argv[2].
// - Options begin with '-' or '/'; the letter after it decides:
//   L or l: the rest of the argument, whole, is looked up as a language code
//     (exact match); found, it chooses the language and becomes
//     m_languageCode. Only the first L option counts, found or not; the
//     scan goes on after it, so every option counts wherever it stands
//     ("-Lde -S" is silent).
//   S or s: m_silent (anything after the letter is ignored).
//   Other letters, a lone '-' or '/', and non-options are skipped.
// - When no -L option chose a language, `environmentLocale` is called exactly
//   once; its name, cut to its first two characters when it is three or more
//   long ("ru_RU.UTF-8" -> "ru"), is looked up the same way. It is not called
//   otherwise, so the process locale is left alone when -L chose the language.
// - Otherwise English (index 5, code "en").
// - Then ScanUnattendedOptions (below) on the same record.
// Never fails. m_windowTitle stays empty.
StartupRecord ScanCommandLine(int argc, char** argv, const EnvironmentLocale& environmentLocale);

// The pass for the unattended mode, over every argument from argv[1] on:
// - Q or q after '-' or '/' (anything after the letter is ignored):
//   m_quiet, and m_silent with it.
// - D or d after '-' or '/': the rest of the same argument is the template
//   directory (a lone "-D" gives an empty one), with every "" turned into
//   "/"; the last D option counts.
// - K or k after '-' or '/': the rest of the same argument names one more
//   trusted-key file for this run (m_keyFile, as given; the last K counts).
// - exactly "--help" or "--version": m_information (the first one counts).
// - exactly "--dry-run", "--verify", "--repair": their flags.
// - any other argument beginning with '-' or '/' whose letter is not L, S, Q
//   or D (either case), a lone '-' or '/' included: the first such one is
//   m_unknownOption.
// Other arguments are left to the scan above. Never fails.
void ScanUnattendedOptions(int argc, char** argv, StartupRecord& record);

// A command line that must not run: its resource text (IDS_USAGE_*, "%1" the
// option concerned) and the option. id is null when the line may run.
struct UsageError {
  const char* id = nullptr;
  NarrowString option;
};
// - with -Q, an unknown option: IDS_USAGE_UNKNOWN;
// - without -Q, --dry-run, --verify or --repair (the wizard cannot honour
//   them, and must not install for real instead): IDS_USAGE_NEEDQUIET;
// - --verify with --repair: IDS_USAGE_CONFLICT (the option: --repair).
// Without -Q other unknown options are ignored, as the wizard always did.
[[nodiscard]] UsageError FindUsageError(const StartupRecord& record);

// The text that --help prints: usage, options and exit statuses.
const char* UsageText();
// What --version prints: "veskp8-setup VERSION" and a line feed.
const char* VersionText();

// Makes record.m_languageIndex the current language of the resource table,
// stores the text of IDR_MAINFRAME as record.m_windowTitle and returns it as
// UTF-8, the encoding GTK wants in every locale.
NarrowString FetchWindowTitle(StartupRecord& record);

// The value for LANGUAGE that makes GTK's own texts (its stock buttons such
// as OK, Yes and No, the folder chooser) speak the language of the resource
// texts, for the entry routine to set before GTK starts: the language's code,
// "zh_CN" for "zh" (GTK's catalogue is for simplified Chinese under that
// name), and "en" for "ar" and every language without an entry, whose
// resource texts are English. Reads the record's language index only.
NarrowString ToolkitLanguage(const StartupRecord& record);

}  // namespace veskp8
