// The undo record of one installation: the ordered list of changes that the
// install transaction made to the template directory T, and the one-step undo
// that puts each change back.
//
// Every change is recorded BEFORE it is made (an UndoObserver, when given, is
// told at that moment and again once the change is made), and a rollback
// undoes the steps in reverse order, so every path is undone while it still
// leads where it led when the change was made (a symbolic link that a later
// step replaced is back before the steps made through it are undone).
//
// Kinds of step:
//   kDirectoryCreated  mkdir(2) of `path` (one level). Undone by rmdir(2) only
//                      when the directory is empty: whatever another program
//                      put there stays, and so does the directory.
//   kFileWritten       a new file created under a temporary name in the
//                      directory of `path` (`temporaryPath`, O_CREAT |
//                      O_EXCL, never over anything), written completely and
//                      only then renamed to `path` without replacing
//                      (`placed`). Undone by unlink(2) of what stands at the
//                      temporary name or at `path`, only when it is that
//                      file: a file never stands half written under its name.
//   kMovedToBackup     the file or symbolic link at `path` moved to
//                      `backupPath` below the backup directory B. Undone by
//                      moving it back (rename, or across file systems a copy
//                      keeping content, mode, owner, times and extended
//                      attributes, ACLs included), never over anything that
//                      stands at `path`.
// A replacement is two steps: kMovedToBackup, then kFileWritten at the same
// path; undone in reverse, what the run wrote goes first and frees the name
// (and its space) for the original.
//
// Identity. Files and directories are recognised by device and inode, never by
// name alone: a step is undone only when what stands on disk is what the step
// recorded (UndoOneStep checks with lstat before it removes or moves anything).
// So a step record that comes from elsewhere (a journal read after a crash)
// can be replayed safely: a name that now holds something else is left alone.
//
// Threads: plain data and free functions, no state; used by one thread at a
// time (the worker that owns the transaction, or a recovery).
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "text/result_code.h"
#include "text/wide_string.h"

namespace veskp8 {

enum class UndoKind : std::uint8_t {
  kDirectoryCreated = 1,
  kFileWritten = 2,
  kMovedToBackup = 3,
};

// What stood at a name (lstat, links not followed). kUnknown: not looked at.
enum class FileKind : std::uint8_t {
  kMissing = 0,
  kRegular = 1,
  kSymlink = 2,
  kOther = 3,
  kUnknown = 4,
};

// The identity of a file, link or directory on disk, enough to recognise it
// later: the one type for "what this run made or moved", in the undo record
// and in the journal (install_journal.h) alike.
struct FileIdentity {
  FileKind kind = FileKind::kMissing;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;  // 0: not known (the change has not been made yet)
  std::uint64_t size = 0;
  std::int64_t mtimeSeconds = 0;
  std::uint32_t mtimeNanoseconds = 0;
  std::uint32_t mode = 0;  // st_mode: file type and permission bits

  [[nodiscard]] bool known() const noexcept { return inode != 0; }
  // Same device, inode and file type as `st` (size and times may differ: a
  // file that is being written is still the same file).
  [[nodiscard]] bool SameObject(const struct stat& st) const noexcept;
  // Everything from `st`, the kind included.
  [[nodiscard]] static FileIdentity Of(const struct stat& st) noexcept;
  // The kind of a file of mode `mode`.
  [[nodiscard]] static FileKind KindOf(std::uint32_t mode) noexcept;
  bool operator==(const FileIdentity&) const = default;
};

struct UndoStep {
  UndoKind kind = UndoKind::kFileWritten;
  // The path below T. For kMovedToBackup its last component is the name as it
  // stood on disk (on a case-insensitive file system it may differ in case
  // from the kit's name), so the original comes back under its own spelling.
  WideString path;
  // kMovedToBackup only: where the original now lies, below B.
  WideString backupPath;
  // kDirectoryCreated, kFileWritten: what the run put at `path`. Device and
  // inode are filled once the directory or file has been created (before the
  // change: 0). For kFileWritten, size and modification time are the values
  // the file has when its write is complete (the kit entry's), mode the
  // permission bits it is created with.
  // kMovedToBackup: what stood at `path` when it was moved (lstat just before
  // the move).
  FileIdentity identity;
  // kMovedToBackup only: what stands at `backupPath` after the move (the same
  // inode after a rename, a new one after a copy across file systems); inode
  // 0 until the move is done.
  FileIdentity backupIdentity;
  // kFileWritten only: the temporary name beside `path` the file is created
  // and written under, and whether it has been renamed to `path` since.
  WideString temporaryPath;
  bool placed = false;
  // True once the change has been made (the observer's OnDone was called).
  bool done = false;
};

using UndoRecord = std::vector<UndoStep>;

// Told about every change of a transaction. The transaction calls it on its
// own thread; it must not call back into the transaction. Optional: a
// transaction without an observer behaves the same.
class UndoObserver {
 public:
  virtual ~UndoObserver() = default;
  // The transaction begins for T (ending in "/"), before it changes
  // anything. A non-zero result fails Begin with that code.
  [[nodiscard]] virtual ResultCode OnBegin(const WideString& templateDirectory) = 0;
  // The backup directory B (ending in "/") is about to be made (`made`
  // false: nothing of it exists yet), and again once it exists (`made`
  // true), before anything is moved into it. A non-zero result fails Begin
  // with that code (B, when made, is removed again).
  [[nodiscard]] virtual ResultCode OnBackupDirectory(const WideString& backupDirectory,
                                                     bool made) = 0;
  // Whether the run's changes are to be made durable in the order this
  // observer's records need (a journal that is being written); without
  // such an observer nothing is synced.
  [[nodiscard]] virtual bool WantsDurability() const { return true; }
  // A text that makes the temporary names of this run's new files unique to
  // it (the journal's own name); empty: the transaction makes one up.
  [[nodiscard]] virtual WideString TemporaryNameTag() const { return WideString(); }
  // The new file of step `index` is complete under its temporary name and
  // about to be renamed to its path: every record of the run so far must be
  // durable now.
  virtual void OnBeforePlace(std::size_t index, const UndoStep& step) = 0;
  // Step `index` of the record is about to be made. Nothing has changed on
  // disk for it yet. A non-zero result refuses the change: it is not made,
  // and the transaction operation fails with that code.
  [[nodiscard]] virtual ResultCode OnIntent(std::size_t index, const UndoStep& step) = 0;
  // Step `index` has been made; `step` now carries the identity of what the
  // run put on disk (kFileWritten: called when the file has been created,
  // before its bytes are written).
  virtual void OnDone(std::size_t index, const UndoStep& step) = 0;
  // Commit is about to remove B: from here on the installation stands.
  virtual void OnCommit() = 0;
  // Rollback: step `index` was undone with `outcome` (see UndoOutcome).
  virtual void OnUndone(std::size_t index, const UndoStep& step, int outcome) = 0;
  // The transaction ended: committed, or rolled back (`complete`: everything
  // was undone and B is gone; otherwise B is kept with what could not go back).
  virtual void OnEnd(bool committed, bool complete) = 0;
};

// Outcome of undoing one step.
enum class UndoOutcome : int {
  kUndone = 0,         // the change is undone
  kNothingToUndo = 1,  // the change was never made, or is already undone
  kLeftAlone = 2,      // something that is not the run's stands there (a
                       // changed file, a non-empty directory): left as it is
  kNoSpace = 3,        // a copy back failed for lack of space (ENOSPC, EDQUOT):
                       // worth trying again after other steps freed theirs
  kFailed = 4,         // could not be undone (no permission, the backup is
                       // missing, the name is taken by something else, ...)
};

// Undoes one step, checking what actually stands on disk first (lstat, device
// and inode). Never removes a non-empty directory, never removes or replaces
// a file that is not the step's, never follows a symbolic link at the step's
// own name. Usable on a step record that did not come from this process
// (recovery), including one whose change may not have been made (done false):
//   kDirectoryCreated: with an unknown inode, an empty directory at `path` is
//     removed (the record says it was missing before).
//   kFileWritten: with an unknown inode nothing is removed (kLeftAlone when
//     something stands at `path`); the file is looked for at its temporary
//     name first, then at `path`.
//   kMovedToBackup: when `path` holds the recorded original (type, size and
//     modification time), nothing to undo (never moved, or already back);
//     otherwise the backup (recognised by backupIdentity, or
//     without one by the original's type, size and modification time) is
//     moved back, never over anything at `path`.
// A file is recognised by device, inode and type: a run's file changed in
// place since (same inode) counts as the run's; a reader that keeps the
// final size and time (identity.size, mtimeSeconds) may check them too.
[[nodiscard]] UndoOutcome UndoOneStep(const UndoStep& step);

// Whether an outcome of a kMovedToBackup step leaves the original in B.
[[nodiscard]] inline bool LeavesOriginalInBackup(const UndoStep& step,
                                                 UndoOutcome outcome) noexcept {
  return step.kind == UndoKind::kMovedToBackup && outcome != UndoOutcome::kUndone &&
         outcome != UndoOutcome::kNothingToUndo;
}

// Undoes `record` in reverse order with UndoOneStep. A restore that fails for
// lack of space is tried again after the remaining steps have freed theirs:
// while a pass undid something and a step is still short of space, the steps
// not undone are tried again (undoing is idempotent: each step checks the
// disk). `observer` (optional) is told each outcome. True when no original
// was left in B (files and directories left alone because they are not the
// run's do not count).
[[nodiscard]] bool UndoRecordInReverse(const UndoRecord& record, UndoObserver* observer);

}  // namespace veskp8
