// InstallTransaction: the undo record of one installation into a template
// directory T.
//
// The extraction job writes files straight into T. Before it replaces a file it
// moves that file into the transaction's private backup directory B (below the
// temporary directory, "p8stp" + a number); it records every directory it
// creates and every file it writes where none stood before. Commit throws the
// backups away; rollback removes what the installation created and moves the
// backups back, so that T ends up as it was before the run.
//
// All work is native (rename(2), unlink(2), rmdir(2), mkdir(2), lstat(2)); no
// external program runs and no symbolic link is ever followed by a walk. A
// move that crosses file systems (B on tmpfs, T on disk) copies content,
// permission bits, owner where allowed and times, and keeps a symbolic link a
// link.
//
// Ownership and threads. The extraction job owns its transaction for one run;
// it is used by one thread at a time and has no locks. The object holds only
// paths; destroying it touches nothing on disk (a transaction that is neither
// committed nor rolled back leaves its backup directory in place). Not
// copyable.
//
// Result codes (text/result_code.h): 0 success; 2 a move or a directory
// creation failed (also: nothing to move); 3 a path has no parent left to
// create; 87 any other failure (a path that cannot be represented in the
// locale's encoding, no free backup directory number).
#pragma once

#include <vector>

#include "text/result_code.h"
#include "text/wide_string.h"

namespace veskp8 {

class InstallTransaction {
 public:
  InstallTransaction() = default;
  InstallTransaction(const InstallTransaction&) = delete;
  InstallTransaction& operator=(const InstallTransaction&) = delete;

  // Starts the transaction for template directory T (ending in "/"), once per
  // object. With an empty T nothing is made and the result is 0. Otherwise
  // ensures the temporary directory exists (without recording it: it is never
  // removed again), then creates B with mkdir(2), mode 0700, trying
  // "p8stp0", "p8stp1", ... and taking the next number whenever the name
  // already exists (whatever it is), so two installers never share one;
  // leftovers of earlier runs are neither reused nor removed. B is not listed
  // among the created directories: only Commit and a complete Rollback remove
  // it. On failure B stays empty and the code (2, 3 or 87) is returned.
  [[nodiscard]] ResultCode Begin(const WideString& templateDirectory);

  // Moves the file or symbolic link at `destination` (a path below T) to the
  // same relative path below B, creating the backup subdirectories it needs.
  // A link is moved as the link itself. Result: 0 moved; 2 nothing to move or
  // the move failed (the destination is then untouched); 3 a backup
  // subdirectory has no parent left to create; 87 the destination is a
  // directory or a special file (never moved), B does not exist, or a path
  // cannot be represented.
  [[nodiscard]] ResultCode Backup(const WideString& destination);

  // Ensures directory `path` exists, creating missing levels one at a time
  // with mkdir(2) (mode 0777 minus the umask). Each level it creates is
  // recorded, parents before children. An existing directory (or a link to
  // one) is success and not recorded. "/" and the empty path are success.
  // Result: 0; 2 a level could not be created (e.g. a file stands in the
  // way); 3 no parent left to create.
  [[nodiscard]] ResultCode EnsureDirectory(const WideString& path);

  // The same for a directory inside B (mode 0700), recording nothing: all of
  // B goes with B.
  [[nodiscard]] ResultCode EnsureBackupSubdirectory(const WideString& path);

  // Records `destination` as a file written where none stood before. Called
  // before the file is written, so a partly written file is removed by a
  // rollback too.
  void RecordNewFile(const WideString& destination);

  // Removes B and everything in it. The created directories and new files
  // stay; the record is emptied. Failures are ignored.
  void Commit();

  // Undoes the installation, in this order, continuing past failures:
  //  1. deletes the new files, then removes the created directories with
  //     everything below them (this frees the space a restore may need when
  //     the failure was a full file system);
  //  2. moves every file and link in B back to the same place below T;
  //  3. removes B only when every one of them went back; otherwise B stays
  //     with what it still holds, so no backup is ever lost.
  // T itself is removed only when this transaction created it. Returns
  // `code` unchanged; the record is emptied.
  [[nodiscard]] ResultCode Rollback(ResultCode code);

  // True when the last Rollback moved every backup back (B removed); false
  // when something stayed in B, whose path backupDirectory() still gives.
  [[nodiscard]] bool restoredCompletely() const noexcept { return m_restoredCompletely; }

  const WideString& templateDirectory() const noexcept { return m_templateDirectory; }
  // B ending in "/", or empty when none was made (or after Commit, or after a
  // Rollback that removed it).
  const WideString& backupDirectory() const noexcept { return m_backupDirectory; }
  const std::vector<WideString>& createdDirectories() const noexcept {
    return m_createdDirectories;
  }
  const std::vector<WideString>& newFiles() const noexcept { return m_newFiles; }

  // Moves every name below `backup` back to the same relative place below
  // `templateDir` (both ending in "/"): directories are walked, files and
  // links are moved (never followed), an existing file at the target is
  // replaced. A failure on one name does not stop the walk. True when every
  // name was moved back.
  [[nodiscard]] static bool Restore(const WideString& templateDir, const WideString& backup);

  // Removes `path` with everything below it, never following links (a link is
  // unlinked itself) and continuing past names that cannot be removed. An
  // empty path does nothing. True when nothing by that name is left.
  static bool RemoveTree(const WideString& path);

 private:
  enum class Record { kCreatedDirectories, kNothing };
  [[nodiscard]] ResultCode EnsureDirectoryLevels(const WideString& path, Record record,
                                                 unsigned mode);

  WideString m_templateDirectory;
  WideString m_backupDirectory;
  std::vector<WideString> m_createdDirectories;
  std::vector<WideString> m_newFiles;
  bool m_restoredCompletely = true;
};

}  // namespace veskp8
