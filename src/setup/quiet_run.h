// The unattended mode (-Q): the installer's run without a window, a message
// box or an X display, for scripts and configuration-management tools. It
// makes the steps of SetupSequence in their order (recovery, pre-install
// checks, installation on the worker thread with backup and rollback,
// registration in the same scopes) and tells the outcome in its exit status:
//
//    0  installed, or everything was already up to date
//    2  kit not found
//    3  kit damaged or not meant for this installer (also when the damage
//       is found while the files are copied: the kit inflates meanwhile,
//       and the template directory is then rolled back first)
//    4  not enough free space in the temporary directory (also when it
//       fills up while the kit inflates)
//    5  no usable template directory (empty, relative, holding "://" or a
//       line end)
//    6  installation failed, or the files cannot fit in the template
//       directory's file system, refused before anything is written; the
//       template directory is as it was
//    7  installation failed and the template directory could not be fully
//       restored; the backup directory with the originals is kept
//    8  another installation into that directory is in progress
//    9  installed, but the launcher configuration could not be updated
//   10  an interrupted earlier installation could not be fully undone
//       (nothing new was installed)
//   13  the kit's signature is bad, by a key that is not trusted, or missing
//       while trusted keys exist; or a trusted-key file that has to be used
//       (-K, or a readable system file) cannot be (kit_signature.h)
//   11  dry run: the installation would change something
//   12  verify: a kit file is missing or its bytes differ
//   14  usage: an unknown option, or options that do not go together (the
//       entry routine's; nothing is done)
// SIGTERM, SIGINT and SIGHUP stop it (install/stop_signals.h): the checks
// and the kit's inflation end at once, the worker stops after the 1 MiB block
// it is copying, the template directory is rolled back (a commit under way is
// finished and registered), the image removed, and the process ends by that
// signal (a shell shows 128 + its number).
//
// Output: each notice of the recovery (an earlier installation restored,
// completed, not fully undone, or its damaged journal set aside) is one line
// on `err`, its text in the UI language with the lines of its list of files
// joined. Each failure is one line on `err`, its text in the UI language
// followed by the path concerned when there is one (the kit, the temporary
// directory, the refused value, the entry's destination, the kept backup
// directory, the launcher file). A failed installation's line also says why,
// in the system's words translated: "Installation error PATH: reason"; a lack
// of room in the template directory's file system is one line with both
// sizes (setup/target_space.h). A system trusted-key file set aside as
// unsafe is one line on `err` before the checks (the run goes on without it).
// On 0 and 9 one line on `out`, untranslated, for scripts, the last line there:
//   "new=N replaced=N unchanged=N registered=yes|no changed=yes|no signed=KEYID|no target=DIR"
// (unchanged: left alone as up to date; changed=yes when a file was written or
// the launcher file was; KEYID the signing key as minisign shows it, "no" for
// an unsigned kit; DIR without a trailing "/", as one ShellWord).
// Nothing else is written.
//
// The other actions (QuietAction), after the same checks:
//  - repair: the installation, with files compared by content instead of time
//    (UpToDateTest::kContent): equal files stay, every other one is replaced
//    with backup, journal and rollback; output and statuses as above.
//  - dry run (also of a repair): no recovery, no directory, journal, backup,
//    lock or registration; the checks' proposal tested with access(2) instead
//    of a probe file. PlanInstallation (install/install_plan.h) predicts the
//    run: a line "new PATH" or "replace PATH" per file it would write, then
//    the summary line the installation would print (registered=yes;
//    changed=yes when a file would be written or the launcher file would
//    change). Status 0 when nothing would change, 11 when something would,
//    and a predicted failure as the installation reports it (5, 6, 8).
//  - verify: read only, no recovery; every entry is compared with the file at
//    its destination (DestinationJudge::Compare): "missing PATH", "modified
//    PATH" (bytes differ), "touched PATH" (same bytes, another time). Status
//    12 when a file is missing or modified, else 0.
// PATH is the destination as one ShellWord.
//
// Threads: the main thread, after InstallStopSignals (so the stop signals
// are blocked for every thread it starts). Never starts GTK.
#pragma once

#include <cstdio>
#include <string>

#include "install/worker_thread.h"
#include "text/narrow_string.h"
#include "text/wide_string.h"

namespace veskp8 {

// The exit statuses above, and the wizard's status when no display can be
// opened.
enum ExitStatus : int {
  kExitInstalled = 0,
  kExitNoDisplay = 1,
  kExitKitNotFound = 2,
  kExitKitDamaged = 3,
  kExitNoTempSpace = 4,
  kExitNoTarget = 5,
  kExitInstallFailed = 6,
  kExitRestoreIncomplete = 7,
  kExitBusy = 8,
  kExitNotRegistered = 9,
  kExitRecoveryIncomplete = 10,
  kExitWouldChange = 11,
  kExitVerifyDiffers = 12,
  kExitSignatureRefused = 13,
  kExitUsage = 14,
};

enum class QuietAction {
  kInstall,  // -Q
  kDryRun,   // -Q --dry-run
  kVerify,   // -Q --verify
};

struct QuietRequest {
  bool useCurrentDirectory = false;  // "usecwd": the kit lies in the current directory
  bool hasTargetDirectory = false;   // a D option was given ...
  WideString targetDirectory;        // ... with this value ("/" separators)
  NarrowString keyFile;              // -K: one more trusted-key file; empty: none
  QuietAction action = QuietAction::kInstall;
  bool repair = false;  // --repair: compare by content (an installation or its dry run)
};

// The text of resource `id` for a line on the console: in the UI language,
// converted to the locale's encoding; in English when that encoding cannot
// represent it (a Russian text under LANG=C), as gettext does in the "C"
// locale, rather than a line with its letters dropped.
// Every "%1" of the text stands for `directory`.
[[nodiscard]] NarrowString ConsoleText(const char* id, const WideString& directory = WideString());

// A directory the unattended mode installs into: not empty, absolute, without
// "://" and without a line end (the outcome is reported in one line).
[[nodiscard]] bool IsUsableQuietTarget(const WideString& directory);

// The exit status of a finished installation job that did not succeed: 7 when
// its rollback left backups behind, 8 when another installation held the
// template directory, otherwise 6.
[[nodiscard]] int ExitStatusOfFailedInstall(const InstallReport& report);

// `text` as one word for a POSIX shell and for Python's shlex.split: as it is
// when every byte is an ASCII letter or digit, one of "@%+_:,./-", or a byte
// of a multi-byte character (0x80 and above); otherwise (a space, a quote,
// "=", a control byte, any other sign, or empty) in single quotes, each "'"
// written as "'\''".
[[nodiscard]] NarrowString ShellWord(const NarrowString& text);

// The summary line, with its line feed. `signedBy`: the signing key's id
// (KeyIdText), empty for an unsigned kit.
[[nodiscard]] NarrowString SummaryLine(const InstallCounts& counts, bool registered, bool changed,
                                       const std::string& signedBy, const WideString& target);

// Runs the unattended installation and returns its exit status; when a stop
// signal came, ends the process by that signal instead (after the rollback
// and after every object of the run is gone, the image included).
[[nodiscard]] int RunQuietInstallation(const QuietRequest& request, std::FILE* out, std::FILE* err);

}  // namespace veskp8
