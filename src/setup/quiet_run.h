// The unattended mode (-Q): the installer's run without a window, a message
// box or an X display, for scripts and configuration-management tools. It
// makes the steps of SetupSequence in their order (recovery, pre-install
// checks, installation on the worker thread with backup and rollback,
// registration in the same scopes) and tells the outcome in its exit status:
//
//    0  installed, or everything was already up to date
//    2  kit not found
//    3  kit damaged or not meant for this installer
//    4  not enough free space in the temporary directory (before the kit is
//       opened, or while its image is written)
//    5  no usable template directory (empty, relative, holding "://" or a
//       line end)
//    6  installation failed; the template directory is as it was
//    7  installation failed and the template directory could not be fully
//       restored; the backup directory with the originals is kept
//    8  another installation into that directory is in progress
//    9  installed, but the launcher configuration could not be updated
//   10  an interrupted earlier installation could not be fully undone
//       (nothing new was installed)
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
// directory, the launcher file). On 0 and 9 one line on `out`, untranslated,
// for scripts: "new=N replaced=N unchanged=N registered=yes|no target=DIR"
// (unchanged: left alone as up to date; DIR without a trailing "/").
// Nothing else is written.
//
// Threads: the main thread, after InstallStopSignals (so the stop signals
// are blocked for every thread it starts). Never starts GTK.
#pragma once

#include <cstdio>

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
};

struct QuietRequest {
  bool useCurrentDirectory = false;  // "usecwd": the kit lies in the current directory
  bool hasTargetDirectory = false;   // a D option was given ...
  WideString targetDirectory;        // ... with this value ("/" separators)
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

// The summary line, with its line feed.
[[nodiscard]] NarrowString SummaryLine(const InstallCounts& counts, bool registered,
                                       const WideString& target);

// Runs the unattended installation and returns its exit status; when a stop
// signal came, ends the process by that signal instead (after the rollback
// and after every object of the run is gone, the image included).
[[nodiscard]] int RunQuietInstallation(const QuietRequest& request, std::FILE* out, std::FILE* err);

}  // namespace veskp8
