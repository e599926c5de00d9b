// Recovery at start-up: finishes the installations that a kill, a crash or a
// power loss cut off, from their journals (install_journal.h).
//
// RecoverInterruptedInstallations looks at every "*.jnl" in the journal
// directory and, for each one whose owner is gone (its flock can be taken):
//  - a journal that cannot be parsed (no valid header) is renamed to
//    "<name>.damaged" in the same directory, once, and reported; nothing is
//    done on its account;
//  - a journal written on another host is left alone unless its backup
//    directory is here and has the recorded identity (a shared file system);
//  - the template directory's flock is taken (non-blocking); when another
//    installer holds it, the journal is left for a later start;
//  - an interrupted commit is completed: what is left of the backup directory
//    is removed and the template directory is registered in the launcher
//    configuration (RegisterInstalledTemplates);
//  - otherwise the installation is rolled back, latest change first: a file
//    is removed only when it is recognisably the one the installer made
//    (device, inode, size, modification time as journalled); an original is
//    moved back from the backup directory only when it is recognisably the
//    original and nothing else stands at its place (never replacing); a
//    directory the installer made is removed only when empty. A file changed
//    since, or an original that cannot be put back, is left where it is and
//    reported. The backup directory counts only when its device and inode
//    (and birth time, where the file system keeps one) are those recorded,
//    and never after a reboot when it lay on a temporary file system;
//  - a new file left under its temporary name (".veskp8-new-" + the
//    journal's tag + "-" + a number, in a destination's directory) was made
//    by that installation and is removed, whatever its size;
//  - the emptied backup directory is removed (one the journal only named, never
//    used, when it is empty); what was put back or removed is synced
//    (syncfs of the template directory's and the backup directory's file
//    systems), then the journal is removed and its directory synced.
// A "tmp-XXXXXX" file in the journal directory (a journal cut off before it
// got its name, where journals are not made nameless) is removed when its
// flock can be taken.
// A journal whose last record is torn is read up to its last good record.
// A journal of an installation cut off before its first change (only its
// header and perhaps its backup directory, emptied) is removed without a
// notice: nothing happened that the user must hear of.
//
// The files that could not be restored are listed, one path per line, in
// H/.veskp8/unrestored-<journal name>.txt, whose path the notice carries.
//
// No GTK: the wizard, the silent run and the unattended run call this first,
// before the kit is looked for, and tell the user about each notice
// (RecoveryMessage) once. Runs on the calling thread; throws only
// std::bad_alloc.
#pragma once

#include <string>
#include <vector>

#include "text/wide_string.h"

namespace veskp8 {

enum class RecoveryResult {
  kRestored,    // rolled back: the template directory is as it was before
  kIncomplete,  // rolled back, but `affected` could not be restored
  kCompleted,   // an interrupted commit was completed and registered
  kDamaged,     // a journal that could not be read was set aside
};

struct RecoveryNotice {
  RecoveryResult result = RecoveryResult::kRestored;
  WideString templateDirectory;      // as journalled (ends in "/"); empty for kDamaged
  std::vector<WideString> affected;  // kIncomplete: every path left as found
  WideString
      listFile;  // kIncomplete: the file listing `affected`; kDamaged: the journal's new name
  WideString backupDirectory;  // kIncomplete: where originals may still be kept
};

struct RecoveryOutcome {
  std::vector<RecoveryNotice> notices;  // in the order the journals were handled
  // Journals left for later: owner alive, template directory busy, other host.
  std::size_t journalsLeft = 0;
  [[nodiscard]] bool anyIncomplete() const;
};

struct RecoveryOptions {
  // Journal directory; empty: JournalDirectory() (H/.veskp8/journal/).
  std::string journalDirectory;
  // Where the list of unrestored files goes; empty: the parent of the
  // journal directory (H/.veskp8/).
  std::string reportDirectory;
  // Complete a commit's registration (off in tests that have no launcher
  // configuration to write).
  bool registerCommitted = true;
};

[[nodiscard]] RecoveryOutcome RecoverInterruptedInstallations(const RecoveryOptions& options = {});

// How many paths the message names before it refers to the list file.
inline constexpr std::size_t kRecoveryPathsShown = 3;

// The text telling the user about `notice`, in the current language.
[[nodiscard]] WideString RecoveryMessage(const RecoveryNotice& notice);

}  // namespace veskp8
