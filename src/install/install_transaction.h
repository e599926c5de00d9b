// InstallTransaction: one installation into a template directory T, with the
// undo record that lets a failure put T back as it was (undo_record.h).
//
// The extraction job writes files straight into T. Every change goes through
// the transaction, which appends it to the ordered undo record BEFORE making
// it (and tells the optional UndoObserver then, and again once it is made):
//  - a directory level it creates (mkdir(2), one level at a time);
//  - an existing file or symbolic link it moves into the private backup
//    directory B (0700, see Begin), always on the template directory's own
//    file system when it can be, so that backing up and restoring are
//    renames;
//  - a new file it creates under a temporary name beside its destination
//    (O_CREAT | O_EXCL: never over anything) and renames into place, without
//    replacing, once complete (PlaceFile): a file never stands half written
//    under its own name. On tmpfs or ramfs (which a power loss empties) the
//    file is created under its own name instead, its identity told to the
//    observer before its first byte: as safe against a kill, and no rename.
// Durability (only with an observer that wants it: a journal being
// written, without which a power loss could not be recovered from anyway;
// and only where T outlives a power loss: not on tmpfs or ramfs).
// The observer is asked to make its records
// durable before a new file's name appears (OnBeforePlace); a backup's
// rename is made durable (both directories synced) before the name it left
// is used again; Commit tells the observer (which makes the commit durable)
// before the first backup goes, and syncs B's removal; Rollback syncs what it
// put back before the observer hears of the end. Nothing the run makes, B
// included, exists before the observer has heard of it.
// Commit removes B. Rollback undoes the record in reverse order (see
// UndoRecordInReverse): what the run wrote goes first, then each original
// comes back under the name it had on disk, never over anything; a restore
// short of space is retried after the other steps freed theirs; a created
// directory is removed only when empty.
//
// Nothing is backed up twice and no backup is ever replaced: files are told
// apart by device and inode. A file that this run itself created is never
// moved to B (when a later entry reaches it again, through a symbolic link, a
// case variant or the same name twice, Backup removes the run's own file
// instead), and before any move into B the target is checked with lstat: when
// something stands there the move fails and B keeps what it holds.
//
// All work is native (rename(2), renameat2 without replacing, link(2),
// unlink(2), rmdir(2), mkdir(2), lstat(2)); no external program runs and no
// symbolic link is ever followed by a walk. A move that crosses file systems
// copies content, permission bits, owner where allowed, extended attributes
// (ACLs included) and times, and keeps a symbolic link a link.
//
// Ownership and threads. The extraction job owns its transaction for one run;
// it is used by one thread at a time and has no locks. The observer, when
// given, must outlive the transaction. Destroying the object touches nothing on
// disk (a transaction that is neither committed nor rolled back leaves B and
// everything it made in place). Not copyable.
//
// Result codes (text/result_code.h): 0 success; kErrBusy another installation
// holds the template directory's lock; 2 a move, a creation or a
// directory creation failed (also: nothing to move; something already stands
// at a backup target or at a new file's name); 3 a path has no parent left to
// create; 87 any other failure (a path that cannot be represented in the
// locale's encoding, no free backup directory number, a directory or special
// file where a file was to be moved); or an observer's refusal code.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "install/fs/file_handle.h"
#include "install/undo_record.h"
#include "text/narrow_string.h"
#include "text/result_code.h"
#include "text/wide_string.h"

namespace veskp8 {

class InstallTransaction {
 public:
  // Where B goes (see Begin): beside the templates, falling back to the
  // temporary directory; or straight in the temporary directory (tests of
  // the cross-file-system moves).
  enum class BackupPlace { kBesideTemplates, kTemporaryDirectory };

  // `observer` (optional, not owned) is told of every change before and
  // after it is made.
  explicit InstallTransaction(UndoObserver* observer = nullptr,
                              BackupPlace place = BackupPlace::kBesideTemplates)
      : m_observer(observer), m_place(place) {}
  // Releases the template directory's lock; touches nothing else.
  ~InstallTransaction();
  InstallTransaction(const InstallTransaction&) = delete;
  InstallTransaction& operator=(const InstallTransaction&) = delete;

  // Starts the transaction for template directory T (ending in "/"), once per
  // object. With an empty T nothing is made and the result is 0. Otherwise:
  //  1. tells the observer (OnBegin: the journal opens) before anything is
  //     made;
  //  2. creates the missing levels of T, recorded like any directory;
  //  3. creates B with mkdir(2), mode 0700, the observer told before
  //     (OnBackupDirectory, made false) and after (made true). Where: the
  //     product data directory H/.veskp8/ ("p8stp" + a number) when it exists,
  //     is the user's and lies on T's file system; otherwise the top of T
  //     (".p8stp" + a number, hidden); only when neither can be made, the
  //     temporary directory ("p8stp" + a number; it is made when missing and
  //     never recorded). Numbers are tried from 0, taking the next whenever
  //     the name exists (whatever it is), so two installers never share one;
  //     leftovers of earlier runs are neither reused nor removed. B is not
  //     part of the undo record: only Commit and a complete Rollback remove
  //     it;
  //  4. locks T: an exclusive, non-blocking flock(2) on T itself (opened
  //     O_RDONLY | O_DIRECTORY | O_CLOEXEC; no file is created for it), held
  //     until Commit or Rollback has finished (or the object is destroyed).
  //     When another process (or another transaction) holds it, Begin fails
  //     with kErrBusy at once, having changed nothing in T but the levels of
  //     step 2 and B, which the caller's Rollback removes again. Where T
  //     cannot be opened for reading or its file system refuses flock (some
  //     network file systems), the run goes on without the lock (locked()
  //     false).
  // On failure the code (2, 3, 87, kErrBusy or the observer's) is returned;
  // the caller rolls back.
  [[nodiscard]] ResultCode Begin(const WideString& templateDirectory);

  // True while the template directory's lock is held.
  [[nodiscard]] bool locked() const noexcept { return m_lockFd >= 0; }

  // Frees the name `destination` (a path below T) for a new file:
  //  - a file or symbolic link that this run created (same device and inode
  //    as one it wrote) is unlinked: it is the run's own, and its kFileWritten
  //    step already undoes the name;
  //  - otherwise the file or link is moved (as the link itself) to the same
  //    relative path below B, with the last component as it stands on disk,
  //    creating the backup subdirectories it needs; recorded as
  //    kMovedToBackup before the move.
  // Result: 0 done; 2 nothing to move, the move failed (the destination is
  // then untouched) or something already stands at the backup target; 3 a
  // backup subdirectory has no parent left to create; 87 the destination is a
  // directory or a special file (never moved), B does not exist, or a path
  // cannot be represented; or the observer's refusal.
  [[nodiscard]] ResultCode Backup(const WideString& destination);

  // Ensures directory `path` exists, creating missing levels one at a time
  // with mkdir(2) (mode 0777 minus the umask), each recorded as
  // kDirectoryCreated before it is made, parents before children. An existing
  // directory (or a link to one) is success and not recorded; directories
  // known to exist are remembered for the run. "/" and the empty path are
  // success. Result: 0; 2 a level could not be created (e.g. a file stands in
  // the way); 3 no parent left to create; or the observer's refusal.
  [[nodiscard]] ResultCode EnsureDirectory(const WideString& path);

  // The same for a directory inside B (mode 0700), recording nothing: all of
  // B goes with B.
  [[nodiscard]] ResultCode EnsureBackupSubdirectory(const WideString& path);

  // Creates the new file that is to become `destination` for writing, under
  // the temporary name ".veskp8-new-<tag>-<n>" in the same directory (on
  // tmpfs or ramfs: under `destination` itself, temporaryPath empty) (tag:
  // the observer's TemporaryNameTag, else the process id; n counts the run's
  // new files), with O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
  // mode 0660 minus the umask; recorded as kFileWritten before the creation;
  // `size` and `mtimeSeconds` are what the file will hold once written (part
  // of the step's identity). On success `out` is the open descriptor (the
  // caller writes it, calls PlaceFile and closes it) and the step carries the
  // file's device and inode. Result: 0; 2 the parent is missing, or
  // something stands at the name created (never opened); 87 any other
  // failure (also a destination inside B); or the observer's refusal. On
  // failure `out` is kNoFileHandle.
  [[nodiscard]] ResultCode CreateFile(const WideString& destination, std::uint64_t size,
                                      std::int64_t mtimeSeconds, FileHandle& out);

  // Puts the file of the last CreateFile, completely written, at its
  // destination: makes the backup of the same name durable (when the step
  // before moved one), lets the observer make its records durable, then
  // renames without replacing. Result: 0; 2 something stands at the
  // destination (the file stays under its temporary name, which a rollback
  // removes); 87 any other failure.
  [[nodiscard]] ResultCode PlaceFile();

  // True when `st` (from lstat) is a file that this run created.
  [[nodiscard]] bool IsOwnFile(const struct stat& st) const;

  // Removes B and everything in it (the observer's OnCommit first) and syncs
  // its parent. The installed files and directories stay; the record is
  // emptied. Failures are ignored.
  void Commit();

  // Undoes the record in reverse order (UndoRecordInReverse), continuing past
  // failures, then removes B when no original stayed in it; otherwise B is
  // kept with the originals that could not go back (restoredCompletely()
  // false, backupDirectory() names it). T itself is removed only when this
  // transaction created it and it is empty. Returns `code` unchanged; the
  // record is emptied.
  [[nodiscard]] ResultCode Rollback(ResultCode code);

  // True when the last Rollback put every original back (B removed); false
  // when something stayed in B, whose path backupDirectory() still gives.
  [[nodiscard]] bool restoredCompletely() const noexcept { return m_restoredCompletely; }

  const WideString& templateDirectory() const noexcept { return m_templateDirectory; }
  // B ending in "/", or empty when none was made (or after Commit, or after a
  // Rollback that removed it).
  const WideString& backupDirectory() const noexcept { return m_backupDirectory; }
  // The changes made so far, in order.
  const UndoRecord& record() const noexcept { return m_record; }

  // Removes `path` with everything below it, never following links (a link is
  // unlinked itself) and continuing past names that cannot be removed. An
  // empty path does nothing. True when nothing by that name is left.
  static bool RemoveTree(const WideString& path);

 private:
  enum class Record { kCreatedDirectories, kNothing };
  [[nodiscard]] ResultCode EnsureDirectoryLevels(const WideString& path, Record record,
                                                 unsigned mode);
  [[nodiscard]] ResultCode MakeRecordedDirectory(const WideString& directory, bool& made);
  // Appends `step` and asks the observer; on refusal the step is dropped.
  [[nodiscard]] ResultCode Intend(UndoStep step);
  [[nodiscard]] ResultCode MakeBackupDirectory();
  // Makes B as `parent` + `prefix` + the first free number; `unusable` when
  // `parent` cannot hold one (the next place is tried then).
  [[nodiscard]] ResultCode TryBackupDirectory(const WideString& parent, const char16_t* prefix,
                                              bool& unusable);
  [[nodiscard]] bool InsideBackupDirectory(const WideString& path) const;
  // Whether the observer wants the changes synced in its order.
  [[nodiscard]] bool Durable() const;
  // fsync(2) of the directory holding `path`; false when it failed.
  [[nodiscard]] static bool SyncDirectoryOf(const WideString& path);
  // syncfs(2) of the file system holding `path` (its nearest existing level).
  static void SyncFileSystemOf(const WideString& path);
  [[nodiscard]] ResultCode LockTemplateDirectory();
  void ReleaseLock();
  void Done();
  // The name of `destination`'s last component as it stands on disk (same
  // inode as `st`); `destination` itself when it is spelled so or no entry
  // matches.
  [[nodiscard]] WideString OnDiskName(const WideString& destination, const struct stat& st);

  UndoObserver* m_observer;
  BackupPlace m_place;
  WideString m_templateDirectory;
  // What makes this run's temporary names unique, and how many new files it
  // has made.
  WideString m_tag;
  NarrowString m_nativeTag;
  std::uint64_t m_newFiles = 0;
  // The native names of the last CreateFile's file: where it is written and
  // where PlaceFile puts it.
  NarrowString m_placeFrom;
  NarrowString m_placeTo;
  WideString m_backupDirectory;
  UndoRecord m_record;
  // Device and inode of every file this run created.
  std::set<std::pair<std::uint64_t, std::uint64_t>> m_ownFiles;
  // Directories known to exist (ensured before, below T or B), without
  // trailing "/".
  std::set<WideString> m_knownDirectories;
  // Per directory: its entries' names and inodes as first listed.
  std::map<WideString, std::vector<std::pair<WideString, std::uint64_t>>> m_listings;
  bool m_restoredCompletely = true;
  // The umask at Begin (new files' expected mode).
  mode_t m_umask = 022;
  // False when T lies on tmpfs or ramfs (nothing to keep in order on disk).
  bool m_persistent = true;
  // The flock on T (an O_RDONLY directory descriptor), or -1.
  int m_lockFd = -1;
};

}  // namespace veskp8
