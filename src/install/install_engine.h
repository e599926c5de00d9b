// InstallEngine: the installation job. It installs every entry of the opened
// kit into the template directory inside one InstallTransaction and reports
// through the ProgressChannel.
//
// One run (RunJob):
//  - reads the kit and the template directory T from the channel and begins
//    the transaction (its backup directory on T's file system where it can
//    be, install_transaction.h);
//  - for each entry i of N, in table order: posts (0, T + name with "\" turned
//    into "/", percent) with the percent of the work before it, by bytes and
//    entries together (progress_meter.h; i * 100 / N for entries of equal
//    size), and posts the same with a higher percent while a large entry is
//    copied; leaves a destination alone that is up to date (up_to_date.h: a
//    file at least as new as the entry at the precision written and kept, or,
//    with UpToDateTest::kContent, holding the entry's bytes);
//    refuses a destination that is a directory or a special file (lstat, links
//    not followed); moves an existing file or symbolic link into the backup
//    directory, and fails when that move fails (an existing file is never
//    overwritten without its backup; one that vanished in the meantime counts
//    as absent); a file that this run itself wrote earlier (reached again
//    through a link, a case variant or a repeated name) is removed instead of
//    backed up; creates the missing directories; writes the entry's bytes
//    from the kit image into a new file under a temporary name beside the
//    destination (created with O_EXCL, mode 0660 minus the umask, access and
//    modification time set to the entry's time in whole seconds) and renames
//    it into place once complete; then honours the channel's cancel request;
//  - stops when the stop flag (InstallJobOptions::stop) is set, looked at
//    before each entry and after each 1 MiB block it copies, so that a large
//    entry does not hold a stop up: the run then ends as a cancelled one
//    (1223, rolled back). Past the last entry the flag is no longer looked
//    at: the commit is finished; only the pause after the final post ends
//    early;
//  - makes what it wrote durable (syncfs of every file system written to),
//    commits (removes the backup directory), posts (0, "Copying complete...",
//    100) and pauses (one second by default) so the final status stays
//    readable.
// On any failure the transaction is rolled back FIRST and only then
// (code, "Installation error", percent of the failing entry; 0 when the
// transaction did not begin) is posted, so a reader of the error status may
// rely on the template directory being restored. A cancelled run rolls back
// and posts (1223, "Installation error", percent) the same way, so a reader
// never waits for a status that does not come.
// When the rollback could not put every original back, the post is instead
// (kErrRollbackIncomplete, the IDS_ROLLBACK_INCOMPLETE text naming the kept
// backup directory, percent), with that directory and the failure's own code
// in the status (ProgressStatus::backupDirectory, cause); the job then ends
// with kErrRollbackIncomplete. When another installation holds the template
// directory's lock (InstallTransaction::Begin), the job changes nothing and
// posts (kErrBusy, IDS_INSTALL_BUSY text, 0) at once.
//
// Texts come from the resource table in the current language
// (IDS_INSTALL_ERROR, IDS_INSTALL_FINISH, IDS_ROLLBACK_INCOMPLETE,
// IDS_INSTALL_BUSY).
//
// Ownership and threads. An engine lives for one run on the worker thread. It
// uses the kit's image handle and copy buffer (the kit stays open afterwards)
// and never touches the user interface. Not copyable.
//
// Result codes: 0 success; 2, 3, 6, 13, 87 failures (13: the kit image ended
// before an entry's data did, or a kit still inflating proved damaged; 112:
// the kit's image found no room); 1223 cancelled; kErrRollbackIncomplete a
// failure whose rollback left originals in the backup directory; kErrBusy
// another installation into the template directory is in progress.
//
// A kit that still inflates in the background (kit_archive.h,
// OpenKitInBackground) is installed while it inflates: an entry's bytes are
// copied once the image holds them (waiting as needed, whatever order the
// entries' data lie in), with copy_file_range where the kernel offers it; the
// commit waits until the kit proved whole (CompleteKit), and a kit that did
// not fails the run like any other failure (rolled back).
//
// What the run did is counted per entry (counts()), and a failed run keeps the
// destination of the entry it failed on (failedDestination()), so that a
// caller can tell a script whether anything changed and what went wrong.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "install/install_transaction.h"
#include "install/up_to_date.h"
#include "install/progress_meter.h"
#include "install/fs/stop_signals.h"
#include "text/result_code.h"
#include "text/wide_string.h"

namespace veskp8 {

class InstallJournal;
class KitArchive;
class ProgressChannel;

// Points of one entry's processing, for InstallJobOptions::stepHook.
enum class InstallStep {
  kUpToDateTest,     // after the post, before the destination is examined
  kBackup,           // the destination is older and exists; before it is moved
  kEnsureDirectory,  // before the destination's directories are created
  kWrite,            // before the destination is opened for writing
  kWritten,          // after the entry was written, before the cancel test
  kCommit,           // after the last entry, before the durability pass (index N)
};

// What one run did to the template directory, entry by entry. After a failed
// run the figures say how far it got; the rollback has undone them.
struct InstallCounts {
  std::size_t newFiles = 0;   // written where nothing stood (or where it vanished)
  std::size_t replaced = 0;   // an existing file or link backed up, then written
  std::size_t unchanged = 0;  // left alone: at least as new as the entry
};

struct InstallJobOptions {
  // Pause after the final post, in milliseconds. The installer keeps the
  // default; tests and benchmarks set 0.
  unsigned pauseMilliseconds = 1000;
  // Stop flag looked at during the run (see above); null: none. The
  // installer keeps the default, the process stop flag of stop_signals.h.
  const std::atomic<bool>* stop = &ProcessStopFlag();
  // Test seam, empty in the installer. Called at each step of each entry with
  // the entry's index and destination path; a non-zero result is treated as
  // a failure of that step with that code. A hook may also change files on
  // disk (remove a file, change permissions) to make a real fault happen
  // at a precise moment.
  std::function<ResultCode(InstallStep step, std::size_t index, const WideString& destination)>
      stepHook;
  // Told of every change of the transaction before and after it is made
  // (undo_record.h); not owned, must outlive the engine. None by default.
  UndoObserver* undoObserver = nullptr;
  // The journal the run writes ahead (install_journal.h), or null for none.
  // Not owned. When given, it is the transaction's observer (in place of
  // `undoObserver`): it opens itself when the transaction begins, and the run
  // also writes the intents of each batch of upcoming entries and the
  // identity of every file once it is completely written. After a rollback
  // the journal is finished by the run; after a success the caller finishes
  // it once the template directory is registered.
  InstallJournal* journal = nullptr;
  // How an up-to-date destination is told (up_to_date.h): by time for an
  // installation, by content for a repair.
  UpToDateTest upToDate = UpToDateTest::kTime;
  // Test seam, false in the installer: the backups go to the temporary
  // directory even where the template directory's file system could hold
  // them (so that moves across file systems can be tried).
  bool backupsInTemporaryDirectory = false;
};

class InstallEngine {
 public:
  explicit InstallEngine(InstallJobOptions options = {});
  ~InstallEngine();
  InstallEngine(const InstallEngine&) = delete;
  InstallEngine& operator=(const InstallEngine&) = delete;

  // Runs the job against `channel` (see above). Result: 0 after a successful
  // installation, the error code after a failure, 1223 after a cancellation.
  // With no kit in the channel the result is 87, posted as an error.
  [[nodiscard]] ResultCode RunJob(ProgressChannel& channel);

  // The run's transaction (for tests: what it recorded).
  const InstallTransaction& transaction() const noexcept { return m_transaction; }

  // The entries written and left alone so far (see InstallCounts).
  const InstallCounts& counts() const noexcept { return m_counts; }
  // The destination of the entry whose installation failed; empty when the run
  // succeeded or failed outside an entry (beginning, durability pass, commit).
  const WideString& failedDestination() const noexcept { return m_failedDestination; }
  // The system's error number (errno) of the call that failed the run, 0
  // when none is known (a damaged image, a cancellation). A directory or a
  // special file standing at an entry's destination gives EISDIR or EEXIST.
  int failedError() const noexcept { return m_failedError; }

 private:
  [[nodiscard]] ResultCode Install(KitArchive& kit, const WideString& target, int& percent);
  [[nodiscard]] ResultCode InstallEntry(KitArchive& kit, std::size_t index,
                                        const WideString& destination);
  [[nodiscard]] ResultCode WriteEntry(KitArchive& kit, std::size_t index,
                                      const WideString& destination);
  [[nodiscard]] ResultCode Step(InstallStep step, std::size_t index,
                                const WideString& destination) const;
  // Keeps a descriptor of the file system of `fd` (device `device`).
  void RememberFileSystemOf(int fd, std::uint64_t device);
  void WriteIntents(const KitArchive& kit, const WideString& target, std::size_t first);
  [[nodiscard]] bool Stopped() const noexcept;
  void Pause() const;
  [[nodiscard]] ResultCode MakeWrittenFilesDurable();
  void CloseSyncTargets();
  ResultCode ReportError(ResultCode code, int percent);
  // Keeps errno (or `systemError` when given) as the run's failure reason,
  // unless one is kept already; returns `code`.
  ResultCode Failed(ResultCode code, int systemError = 0);

  InstallJobOptions m_options;
  InstallTransaction m_transaction;
  ProgressChannel* m_channel = nullptr;
  InstallCounts m_counts;
  DestinationJudge m_judge;
  WideString m_failedDestination;
  int m_failedError = 0;
  // Percent by bytes and entries (progress_meter.h); besides the post before
  // each entry, a large entry posts its percent while it is copied.
  ProgressMeter m_meter;
  // One open descriptor per file system written to, for the durability pass
  // (syncfs) before the commit; m_syncFailed when one could not be noted.
  std::vector<std::pair<unsigned long, int>> m_syncTargets;
  bool m_syncFailed = false;
};

}  // namespace veskp8
