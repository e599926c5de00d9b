// InstallJournal: the installation's undo record written ahead to a file, so
// that an installation cut off by a kill, a crash or a power loss can be
// finished by the next start of the installer (journal_recovery.h).
//
// Where. One file per installation in the private directory
// H/.veskp8/journal/ (mode 0700, created when missing; H is the home
// directory). No journal is kept when the home directory cannot be found or
// the directory cannot be made: the installation then runs as it always did.
// A journal is created without a name (O_TMPFILE), locked, given its header,
// synced and only then linked as "XXXXXX.jnl" (where the file system cannot
// make nameless files: created as "tmp-XXXXXX" and renamed); the directory is
// synced after. Only "*.jnl" names are acted on by recovery (which removes a
// "tmp-XXXXXX" that nobody holds). "XXXXXX", the journal's tag, also marks
// the temporary names of the run's new files (".veskp8-new-XXXXXX-<n>").
//
// Lock. The owner holds an exclusive flock(2) on the open journal from its
// creation until it is removed (or the process ends), so a live installation
// is never taken for a dead one. The descriptor is close-on-exec: programs the
// installer starts do not inherit the lock.
//
// Format. A sequence of records, each
//   u32 payload length | u32 CRC-32 (zlib) of the payload | payload
// (little-endian). A payload starts with its type byte. Strings are a u32
// length and the bytes of the path as the system sees it (locale encoding).
// The first record is the header: format version, template directory, host
// name, boot id (/proc/sys/kernel/random/boot_id), process id and start time.
// Then, in the order the installation makes them:
//   kBackupDirectory  the backup directory: first its name alone (synced
//                     before it is made), then again with its device, inode
//                     and whether it lies on a temporary file system: tmpfs
//                     or ramfs (synced before anything is moved into it)
//   kIntent           an upcoming change of one destination: the destination,
//                     its backup name (in a batch left out: the backup
//                     directory followed by the name below the template
//                     directory), the size and modification time the kit
//                     gives it, and the highest missing directory level above
//                     it (if any). In a batch, what stands there is not
//                     looked at (kUnknown); before an original is moved
//                     aside, a second intent gives its identity (kind,
//                     device, inode, size, mtime, mode)
//   kBatchIntent      the compact kIntent of a batch: the kit entry, the
//                     destination below the template directory, the size and
//                     time the kit gives it, the highest missing directory
//                     level (absolute); nothing looked at
//   kDirectoryIntent  a directory about to be made that no batch announced
//   kDirectoryMade    a directory the installation created (device, inode)
//   kFileMade         a destination file created (device, inode); read in
//                     older journals, no longer written: a new file is known
//                     by its temporary name until its kFileWritten
//   kFileWritten      a destination file completely written, about to be put
//                     in place (device, inode, size, mtime)
//   kCommit           every entry installed and made durable; the backups may
//                     go and the template directory is to be registered
//   kRollback         the installation is being rolled back
// A record whose length runs past the end of the file or whose checksum does
// not match ends the journal (a torn last write). The file is reserved
// ahead (fallocate) and mapped shared: a record is stored into the mapping,
// which puts it into the page cache without a system call, so a kill or a
// crash of the process loses none; zeros after the last record end the
// journal without being a tear. Where the file system cannot reserve, the
// records are written with write(2) as they come.
//
// A replaced file's move into the backup directory needs no confirmation: the
// intent names where it goes, and the original is recognised there by its
// inode (a rename) or by its size, times and mode (a copy across file
// systems).
//
// Crash ordering. Intent records are written for a batch of upcoming entries
// and synced (msync, or fdatasync) once per batch, before the first change of
// the batch: a record is on disk before the change it describes can be. A new
// file is written under a temporary name that the batch's intent implies
// (its directory, the journal's tag); its confirmation (kFileWritten: device,
// inode, size, time) is synced before it is renamed to its destination
// (where the template directory outlives a power loss), so a file under a
// destination name is recognised after a power loss too. Other confirmations are not
// synced. Recovery checks what actually stands on disk against the records
// and never relies on the record alone.
//
// What survives what. A kill or a crash of the process: every record (the
// page cache keeps them), so recovery knows every change. A power loss:
// everything up to the last sync: every intent of every batch begun, the
// identity of every file put in place; the commit record is synced after
// the written files were (syncfs) and before any backup is removed. Recovery
// therefore finds, after a power loss too, every original in the backup
// directory (on the template directory's file system) and puts it back, and
// removes every file the installer made. Originals in a backup directory on
// a temporary file system, the last resort, are gone after a reboot: the
// journal records that the directory lay there, and recovery reports those
// files instead of guessing.
//
// Threads. One thread at a time (the worker during the run, the owner after
// the worker's status was read). Not copyable. Failures to write the journal
// never fail the installation: the journal is then closed and removed, and
// the run goes on without one (journalling() turns false).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "install/undo_record.h"
#include "text/result_code.h"
#include "text/wide_string.h"

namespace veskp8 {

// Record types (the first byte of a payload).
enum class JournalRecordType : std::uint8_t {
  kHeader = 1,
  kBackupDirectory = 2,
  kIntent = 3,
  kDirectoryMade = 4,
  kFileMade = 5,
  kFileWritten = 6,
  kCommit = 7,
  kRollback = 8,
  kDirectoryIntent = 9,
  kBatchIntent = 10,
};

// The journal records identities as the undo record keeps them
// (FileIdentity, undo_record.h).
using JournalKind = FileKind;
using JournalIdentity = FileIdentity;

// lstat of `path` as a JournalIdentity (kMissing when it does not exist; kOther
// also for a name that cannot be examined).
[[nodiscard]] JournalIdentity ObserveIdentity(const std::string& path);

// JournalRecord::entry when a record names no kit entry.
inline constexpr std::uint32_t kNoJournalEntry = 0xFFFFFFFFu;

// One decoded record. Only the fields of its type are set.
struct JournalRecord {
  JournalRecordType type = JournalRecordType::kHeader;
  // kHeader
  std::uint32_t version = 0;
  std::string templateDirectory;  // ends in "/"
  std::string host;
  std::string bootId;
  std::uint64_t pid = 0;
  std::int64_t startTime = 0;
  // kBackupDirectory, kIntent, kDirectoryMade, kFileMade, kFileWritten: the
  // path concerned (the backup directory, the destination, the directory).
  std::string path;
  // kIntent
  std::string backupPath;
  std::uint64_t expectedSize = 0;
  std::int64_t expectedMtimeSec = 0;
  std::string firstMissingDirectory;  // empty when the parent existed
  // kIntent, kFileWritten: the kit entry concerned (kNoJournalEntry: none
  // known; a kFileWritten then names its path).
  std::uint32_t entry = kNoJournalEntry;
  // kIntent: what stood at `path`; kBackupDirectory, kDirectoryMade,
  // kFileMade, kFileWritten: the identity made or found.
  JournalIdentity identity;
  // kBackupDirectory
  bool onTemporaryFileSystem = false;
};

// Encoding and decoding, for the writer, the reader and tests.
void AppendJournalRecord(const JournalRecord& record, std::string& out);

// Outcome of decoding a journal file's bytes.
struct JournalContents {
  std::vector<JournalRecord> records;  // up to the first bad record
  std::size_t validBytes = 0;          // bytes of the good records
  bool torn = false;                   // something followed the last good record
  bool parsable = false;               // a header of a known version came first
};
[[nodiscard]] JournalContents DecodeJournal(const std::string& bytes);

// The directory of the journals: H/.veskp8/journal/ (narrow, ends in "/"), or
// empty when the home directory cannot be found.
[[nodiscard]] std::string JournalDirectory();

// This machine's host name and boot id (empty when unknown).
[[nodiscard]] std::string CurrentHostName();
[[nodiscard]] std::string CurrentBootId();

// The identity of the directory `path` for the kBackupDirectory record:
// device, inode, mode, and its birth time in mtimeSeconds/mtimeNanoseconds where the file
// system keeps one (else 0). kMissing when it is not a directory.
[[nodiscard]] JournalIdentity BackupDirectoryIdentity(const std::string& path);

// True when `path` lies on a file system whose content a reboot wipes (tmpfs,
// ramfs).
[[nodiscard]] bool IsOnTemporaryFileSystem(const std::string& path);

// The tag of the journal named `journalName` (a path or a name): its name
// without ".jnl".
[[nodiscard]] std::string JournalTag(const std::string& journalName);

// The start of the temporary names of the new files of the run whose journal
// has tag `tag`.
[[nodiscard]] inline std::string NewFilePrefix(const std::string& tag) {
  return ".veskp8-new-" + tag + "-";
}

// `path` without trailing slashes ("/" stays).
[[nodiscard]] std::string WithoutTrailingSlash(const std::string& path);

// One upcoming entry for a batch of intents.
struct JournalIntent {
  const WideString* name = nullptr;  // the kit entry's name ("\" separators); not owned
  std::uint32_t entry = 0;           // its index in the kit
  std::uint64_t size = 0;
  std::int64_t mtimeSec = 0;
};

// The journal is the install transaction's observer (undo_record.h): it
// opens itself when the transaction begins, writes (and syncs) an intent for
// every change that no batch announced, confirms every change made, records
// the commit, and is finished when a rollback ends.
class InstallJournal final : public UndoObserver {
 public:
  // How many entries one batch of intents covers (one sync per batch).
  static constexpr std::size_t kBatchSize = 256;

  InstallJournal() = default;
  ~InstallJournal() override;
  InstallJournal(const InstallJournal&) = delete;
  InstallJournal& operator=(const InstallJournal&) = delete;

  // Creates the journal for template directory `templateDirectory` (ending in
  // "/") in `directory` (default: JournalDirectory()), as described above.
  // False (and no journal) when it cannot be made; the caller goes on
  // without. Once per object; a second Open while one is open is refused.
  bool Open(const WideString& templateDirectory, const std::string& directory = {});

  // True while a journal is open and being written.
  [[nodiscard]] bool journalling() const noexcept { return m_fd >= 0; }
  // The journal's path ("…/XXXXXX.jnl"), empty when none.
  [[nodiscard]] const std::string& path() const noexcept { return m_path; }

  // Records the transaction's backup directory (path ending in "/"): about to
  // be made (name only) or made (with its identity); syncs.
  void NoteBackupDirectory(const WideString& backupDirectory, bool made);
  // Writes the intents of the upcoming entries, whose destinations are
  // `target` followed by their names with "\" turned into "/", and syncs
  // once. The names must stay until the next batch.
  void WriteIntents(const WideString& target, const std::vector<JournalIntent>& intents);
  // Confirmation that the file behind `fd` is completely written (not synced).
  void NoteFileWritten(const WideString& destination, int fd);
  // UndoObserver. OnBegin opens the journal (when not yet open);
  // OnBackupDirectory records B; TemporaryNameTag is the journal's tag;
  // OnBeforePlace syncs what is not yet synced; OnIntent writes and syncs an intent unless the
  // current batch covers the change; OnDone confirms a directory or a file made (not synced);
  // OnCommit records the commit (synced) before the backups are removed: the
  // journal then stays until Finish (after the registration); OnUndone
  // records that a rollback is under way (once, not synced); OnEnd after a
  // rollback finishes the journal. None of them ever refuses a change.
  [[nodiscard]] ResultCode OnBegin(const WideString& templateDirectory) override;
  [[nodiscard]] ResultCode OnBackupDirectory(const WideString& backupDirectory, bool made) override;
  [[nodiscard]] WideString TemporaryNameTag() const override;
  [[nodiscard]] bool WantsDurability() const override { return journalling(); }
  void OnBeforePlace(std::size_t index, const UndoStep& step) override;
  [[nodiscard]] ResultCode OnIntent(std::size_t index, const UndoStep& step) override;
  void OnDone(std::size_t index, const UndoStep& step) override;
  void OnCommit() override;
  void OnUndone(std::size_t index, const UndoStep& step, int outcome) override;
  void OnEnd(bool committed, bool complete) override;

  // The transaction ended (rolled back, or committed and registered): the
  // journal is removed and its directory synced; the lock goes with it.
  void Finish();

  // Test seam, empty in the installer: called after each record is written,
  // with its type, and with kRollback after every further step undone.
  std::function<void(JournalRecordType)> recordHook;

  // How often the journal was synced (fdatasync or the directory's fsync).
  [[nodiscard]] std::uint64_t syncCount() const noexcept { return m_syncs; }

 private:
  // Creates the journal file in `dir` with the header `bytes`: nameless then
  // linked, or under a temporary name then renamed.
  [[nodiscard]] bool Create(const std::string& dir, const std::string& bytes, bool nameless);
  void Write(const JournalRecord& record, bool sync);
  void WriteBuffer(bool sync);
  void Abandon();
  [[nodiscard]] bool Grow(std::size_t needed);
  void Unmap();

  int m_fd = -1;
  // The file mapped shared (reserved with fallocate), or null when records
  // are written with write(2); bytes used and bytes synced.
  char* m_map = nullptr;
  std::size_t m_capacity = 0;
  std::size_t m_used = 0;
  std::size_t m_syncedTo = 0;
  std::string m_path;
  std::string m_directory;
  std::string m_backupDirectory;
  std::string m_templateDirectory;
  std::string m_buffer;
  std::uint64_t m_syncs = 0;
  std::vector<JournalRecordType> m_pendingTypes;
  // What the current batch announced: destinations, and directories that
  // were missing above them.
  struct BatchEntry {
    const WideString* name;
    std::uint32_t entry;
  };
  [[nodiscard]] const BatchEntry* FindInBatch(const WideString& path);
  std::vector<BatchEntry> m_batch;
  WideString m_batchTarget;
  std::size_t m_batchCursor = 0;
  std::set<std::string> m_coveredDirectories;
  bool m_rollbackNoted = false;
  // The file created last (OnDone), for its confirmation once written.
  struct Made {
    bool known = false;
    WideString destination;
    JournalIdentity identity;
  } m_made;
};

}  // namespace veskp8
