#include "setup/journal_recovery.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <fstream>
#include <map>
#include <set>

#include "install/fs/file_system_native.h"
#include "install/install_journal.h"
#include "launcher_config/template_registration.h"
#include "resources/resource_table.h"
#include "text/conversion.h"
#include "text/string_ops.h"

namespace veskp8 {
namespace {

// The prefix of the temporary names a cross-device move leaves beside its
// destination when it is cut off (file_system_native.cpp).
constexpr char kMoveTemporaryPrefix[] = ".veskp8-move-";
constexpr std::size_t kMoveTemporaryLength = sizeof(kMoveTemporaryPrefix) - 1 + 6;

// An open descriptor closed at the end of its scope.
class Fd {
 public:
  explicit Fd(int fd = -1) : m_fd(fd) {}
  ~Fd() {
    if (m_fd >= 0) close(m_fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return m_fd; }

 private:
  int m_fd;
};

WideString Wide(const std::string& narrow) { return LocaleToWide(narrow.c_str()); }

// The wide form of `narrow` when it converts back to the same bytes.
bool WideExact(const std::string& narrow, WideString& out) {
  out = Wide(narrow);
  NarrowString back;
  return WideToLocaleChecked(out, back) && back.view() == narrow;
}

std::string Parent(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// syncfs(2) of the file system holding `path` (its nearest existing level).
void SyncFileSystemOf(std::string path) {
  path = WithoutTrailingSlash(path);
  while (!path.empty()) {
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
      (void)syncfs(fd);
      close(fd);
      return;
    }
    if (path == "/") return;
    path = Parent(path);
  }
}

bool SameObject(const JournalIdentity& a, const JournalIdentity& b) {
  return a.kind != JournalKind::kMissing && a.kind == b.kind && a.device == b.device &&
         a.inode == b.inode;
}

// The same content as far as a copy keeps it: type, size, modification time
// to the nanosecond, permission bits.
bool SameContent(const JournalIdentity& a, const JournalIdentity& b) {
  return a.kind != JournalKind::kMissing && a.kind == b.kind && a.size == b.size &&
         a.mtimeSeconds == b.mtimeSeconds && a.mtimeNanoseconds == b.mtimeNanoseconds &&
         (a.mode & 07777) == (b.mode & 07777);
}

// Everything known about one intent: the record and its confirmations.
struct Change {
  const JournalRecord* intent = nullptr;
  std::string backupPath;  // where the original goes (below the backup directory)
  // What stood at the destination: the intent's, or, for an entry announced
  // with its batch (kUnknown), the identity its second intent gave just
  // before the original was moved aside.
  JournalIdentity original;
  const JournalRecord* made = nullptr;
  const JournalRecord* written = nullptr;
  // The size the kit gives the destination: the intent's own, or, for the
  // intent that names an original before it is moved aside, its batch's.
  std::uint64_t expectedSize = 0;
};

// One step to undo, in journal order.
struct Step {
  enum Kind { kChange, kDirectoryMade, kDirectoryIntent } kind = kChange;
  std::size_t change = 0;                    // kChange: index into the changes
  const JournalRecord* directory = nullptr;  // the directory's record
};

class JournalRecovery {
 public:
  JournalRecovery(const JournalContents& contents, const RecoveryOptions& options,
                  const std::string& journalName)
      : m_contents(contents),
        m_options(options),
        m_journalName(journalName),
        m_newFilePrefix(NewFilePrefix(JournalTag(journalName))) {}

  // Acts on the journal; false when it must be left for later.
  bool Run(RecoveryNotice& notice);
  // True when the installation was cut off before it changed anything (a
  // header, perhaps a backup directory named or made, nothing else): there
  // is nothing to tell.
  [[nodiscard]] bool changedNothing() const {
    return !m_committed && m_steps.empty() && m_affected.empty();
  }

 private:
  void Collect();
  bool CheckBackupDirectory();
  void CompleteCommit(RecoveryNotice& notice);
  void RollBack(RecoveryNotice& notice);
  void UndoChange(const Change& change);
  void UndoDirectory(const JournalRecord& record, bool final);
  void RemoveEmptyChain(const std::string& from, const std::string& upTo);
  void RemoveMoveTemporaries(const std::string& directory);
  void CleanBackupDirectory();
  bool RemoveEmptyTree(const std::string& directory);
  bool MoveBack(const std::string& from, const std::string& to);
  void Affected(const std::string& path);
  std::string WriteList(const std::vector<std::string>& paths);

  const JournalContents& m_contents;
  const RecoveryOptions& m_options;
  std::string m_journalName;
  // The temporary names of the run's new files start so in their directory.
  std::string m_newFilePrefix;
  const JournalRecord* m_header = nullptr;
  const JournalRecord* m_backup = nullptr;
  bool m_committed = false;
  bool m_backupValid = false;
  bool m_confirmationsMayBeLost = false;
  std::vector<Change> m_changes;
  std::deque<JournalRecord> m_batchIntents;  // kBatchIntent records made full
  std::vector<Step> m_steps;
  std::vector<std::string> m_affected;
  std::set<std::string> m_affectedSet;
  std::set<std::string> m_touchedDirectories;
  std::vector<std::pair<std::string, JournalIdentity>> m_missingOriginals;
};

void JournalRecovery::Collect() {
  std::map<std::string, std::size_t> lastIntent;     // destination -> change
  std::map<std::uint32_t, std::size_t> entryIntent;  // kit entry -> change
  for (const JournalRecord& record : m_contents.records) {
    switch (record.type) {
      case JournalRecordType::kHeader:
        m_header = &record;
        break;
      case JournalRecordType::kBackupDirectory:
        m_backup = &record;
        break;
      case JournalRecordType::kIntent:
      case JournalRecordType::kBatchIntent: {
        const JournalRecord* intent = &record;
        if (record.type == JournalRecordType::kBatchIntent) {
          if (m_header == nullptr) break;
          // Written below the template directory: made a full intent.
          JournalRecord full = record;
          full.type = JournalRecordType::kIntent;
          full.path = m_header->templateDirectory + record.path;
          m_batchIntents.push_back(std::move(full));
          intent = &m_batchIntents.back();
        }
        const JournalRecord& record = *intent;
        if (record.identity.kind != JournalKind::kUnknown && record.entry != kNoJournalEntry) {
          // The second intent of an entry its batch announced (the original,
          // looked at before its move): one change for one destination, so
          // that the undo judges it once, with everything known.
          const auto announced = entryIntent.find(record.entry);
          if (announced != entryIntent.end()) {
            Change& change = m_changes[announced->second];
            if (change.intent->path == record.path &&
                change.original.kind == JournalKind::kUnknown && change.made == nullptr &&
                change.written == nullptr) {
              change.original = record.identity;
              if (!record.backupPath.empty()) change.backupPath = record.backupPath;
              break;
            }
          }
        }
        Change change;
        change.intent = &record;
        change.backupPath = record.backupPath;
        if (change.backupPath.empty() && m_backup != nullptr && m_header != nullptr &&
            record.path.starts_with(m_header->templateDirectory)) {
          // Left out by the writer (a batch): derived the same way.
          change.backupPath =
              m_backup->path + record.path.substr(m_header->templateDirectory.size());
        }
        change.original = record.identity;
        change.expectedSize = record.expectedSize;
        const auto earlier = lastIntent.find(record.path);
        if (change.expectedSize == 0 && earlier != lastIntent.end()) {
          change.expectedSize = m_changes[earlier->second].expectedSize;
        }
        m_changes.push_back(change);
        const std::size_t index = m_changes.size() - 1;
        lastIntent[record.path] = index;
        if (record.entry != kNoJournalEntry) entryIntent[record.entry] = index;
        Step step;
        step.change = index;
        m_steps.push_back(step);
        break;
      }
      case JournalRecordType::kDirectoryMade:
      case JournalRecordType::kDirectoryIntent: {
        Step step;
        step.kind = record.type == JournalRecordType::kDirectoryMade ? Step::kDirectoryMade
                                                                     : Step::kDirectoryIntent;
        step.directory = &record;
        m_steps.push_back(step);
        break;
      }
      case JournalRecordType::kFileMade:
      case JournalRecordType::kFileWritten: {
        std::size_t changeIndex = 0;
        if (record.entry != kNoJournalEntry) {
          auto found = entryIntent.find(record.entry);
          if (found == entryIntent.end()) break;
          changeIndex = found->second;
        } else {
          auto found = lastIntent.find(record.path);
          if (found == lastIntent.end()) break;
          changeIndex = found->second;
        }
        Change& change = m_changes[changeIndex];
        if (record.type == JournalRecordType::kFileMade) {
          change.made = &record;
          change.written = nullptr;  // a later write of the same name starts afresh
        } else {
          change.written = &record;
        }
        break;
      }
      case JournalRecordType::kCommit:
        m_committed = true;
        break;
      case JournalRecordType::kRollback:
        break;
    }
  }
}

bool JournalRecovery::CheckBackupDirectory() {
  // Only named (about to be made): nothing was moved into it yet.
  if (m_backup == nullptr || m_backup->identity.kind == JournalKind::kMissing) return false;
  const JournalIdentity now = BackupDirectoryIdentity(WithoutTrailingSlash(m_backup->path));
  const JournalIdentity& then = m_backup->identity;
  if (now.kind == JournalKind::kMissing || now.device != then.device || now.inode != then.inode) {
    return false;
  }
  if ((then.mtimeSeconds != 0 || then.mtimeNanoseconds != 0) &&
      (now.mtimeSeconds != then.mtimeSeconds || now.mtimeNanoseconds != then.mtimeNanoseconds)) {
    return false;  // the same numbers, but made anew
  }
  // A temporary file system's content does not outlive the boot it was
  // written in: whatever stands there now is someone else's.
  if (m_backup->onTemporaryFileSystem && m_header->bootId != CurrentBootId()) return false;
  return true;
}

bool JournalRecovery::Run(RecoveryNotice& notice) {
  Collect();
  if (m_header == nullptr) return false;
  m_backupValid = CheckBackupDirectory();
  // Records written after the last sync survive a kill or a crash of the
  // process, not a power loss.
  m_confirmationsMayBeLost = m_header->bootId != CurrentBootId();
  if (m_header->host != CurrentHostName() && !m_backupValid) {
    return false;  // another host's installation, with its backups over there
  }
  notice.templateDirectory = Wide(m_header->templateDirectory);
  if (m_committed) {
    CompleteCommit(notice);
  } else {
    RollBack(notice);
  }
  // What was put back or removed is durable before the journal goes.
  SyncFileSystemOf(m_header->templateDirectory);
  if (m_backup != nullptr) SyncFileSystemOf(m_backup->path);
  return true;
}

void JournalRecovery::CompleteCommit(RecoveryNotice& notice) {
  notice.result = RecoveryResult::kCompleted;
  // Every entry was installed and made durable before the commit record:
  // only the backups are left to remove.
  if (m_backupValid) {
    WideString backup;
    if (WideExact(WithoutTrailingSlash(m_backup->path), backup)) {
      (void)RemoveTreeNoFollow(backup);
    }
  }
  if (m_options.registerCommitted) {
    TemplateRegistration registration;
    ReadRegisteredTemplates(registration);
    registration.m_targetDir = notice.templateDirectory;
    RegisterInstalledTemplates(registration);
  }
}

void JournalRecovery::Affected(const std::string& path) {
  if (m_affectedSet.insert(path).second) m_affected.push_back(path);
}

bool JournalRecovery::MoveBack(const std::string& from, const std::string& to) {
  // Never replaces: something that appeared at `to` stays. Across file
  // systems the copy keeps content, mode, owner, times and extended
  // attributes.
  WideString source;
  WideString destination;
  if (!WideExact(from, source) || !WideExact(to, destination)) return false;
  return MoveNoReplace(source, destination) == MoveResult::kMoved;
}

void JournalRecovery::UndoChange(const Change& change) {
  const JournalRecord& intent = *change.intent;
  const std::string& path = intent.path;
  const std::string& backupPath = change.backupPath;
  const JournalIdentity& original = change.original;
  const JournalIdentity current = ObserveIdentity(path);
  m_touchedDirectories.insert(Parent(path));

  // Is what stands at the destination the installer's own file?
  bool ours = false;
  if (current.kind == JournalKind::kRegular) {
    if (change.written != nullptr) {
      // Its identity was durable before its name was: the file the
      // installer wrote, whatever size a power loss left it (its rename may
      // reach the disk before its data). Its time is still the one the
      // installer gave it, last: a file changed in place since is not
      // taken.
      const JournalIdentity& w = change.written->identity;
      ours = SameObject(current, w) && current.size <= w.size &&
             current.mtimeSeconds == w.mtimeSeconds &&
             current.mtimeNanoseconds == w.mtimeNanoseconds;
    } else if (change.made != nullptr) {
      ours = SameObject(current, change.made->identity) && current.size <= change.expectedSize;
    } else {
      // No confirmation reached the journal (a power loss): only an empty
      // file that is not the original can be taken away without loss.
      ours = current.size == 0 && !SameContent(current, original);
    }
  }

  if (original.kind == JournalKind::kUnknown) {
    // Announced with its batch, never looked at: the backups tell, for the
    // backup directory only ever receives originals.
    const JournalIdentity saved =
        m_backupValid && !backupPath.empty() ? ObserveIdentity(backupPath) : JournalIdentity{};
    if (saved.kind != JournalKind::kMissing) {
      if (current.kind != JournalKind::kMissing && !ours) {
        Affected(path);  // the original is kept in the backups
      } else if (current.kind != JournalKind::kMissing && unlink(path.c_str()) != 0) {
        Affected(path);
      } else if (!MoveBack(backupPath, path)) {
        Affected(path);
      }
    } else if (ours) {
      if (unlink(path.c_str()) != 0) Affected(path);
    } else if (current.kind != JournalKind::kMissing &&
               (change.written != nullptr || change.made != nullptr)) {
      // The installer made a file here, and what stands here now is not it:
      // changed since. It stays, reported.
      Affected(path);
    } else if (m_confirmationsMayBeLost && current.kind == JournalKind::kRegular &&
               current.size == intent.expectedSize &&
               current.mtimeSeconds == intent.expectedMtimeSec) {
      // After a reboot the last confirmations may not have reached the disk:
      // a file as the kit has it may be the installer's. It stays, reported.
      Affected(path);
    }
  } else if (original.kind == JournalKind::kMissing) {
    if (ours) {
      if (unlink(path.c_str()) != 0) Affected(path);
    } else if (current.kind != JournalKind::kMissing) {
      Affected(path);  // not the installer's: changed or put there since
    }
  } else if (original.kind == JournalKind::kOther) {
    // A directory or special file: the installer never replaces one.
    if (current.kind != JournalKind::kMissing && !SameObject(current, original) && ours) {
      if (unlink(path.c_str()) != 0) Affected(path);
    }
  } else {
    // By content identity, not by inode alone: a file system may give the
    // installer's new file the inode number the moved-away original had.
    const bool inPlace = SameContent(current, original);
    JournalIdentity saved;
    bool savedIsOriginal = false;
    if (m_backupValid && !backupPath.empty()) {
      saved = ObserveIdentity(backupPath);
      // Moved aside by rename or copied across file systems: either way the
      // same size, modification time and mode.
      savedIsOriginal = SameContent(saved, original);
    }
    if (inPlace) {
      // The move aside did not happen, or the move back (or a copy across
      // file systems) got as far as the destination: a second copy in the
      // backup directory is redundant.
      if (savedIsOriginal && !SameObject(saved, current)) unlink(backupPath.c_str());
    } else if (savedIsOriginal) {
      if (current.kind != JournalKind::kMissing && !ours) {
        Affected(path);  // changed since: it stays, and so does the original in the backups
      } else if (current.kind != JournalKind::kMissing && unlink(path.c_str()) != 0) {
        Affected(path);
      } else if (!MoveBack(backupPath, path)) {
        Affected(path);
      }
    } else {
      // The original is neither here nor in the backups (a temporary file
      // system wiped by a reboot): whatever stands here is kept.
      m_missingOriginals.emplace_back(path, original);
    }
  }
  if (!intent.firstMissingDirectory.empty())
    RemoveEmptyChain(Parent(path), intent.firstMissingDirectory);
}

void JournalRecovery::RemoveEmptyChain(const std::string& from, const std::string& upTo) {
  // Only levels that did not exist when the intent was written, and only
  // when empty: nothing anyone put there is removed.
  if (!(from == upTo || from.starts_with(upTo + "/"))) return;
  for (std::string dir = from;; dir = Parent(dir)) {
    RemoveMoveTemporaries(dir);
    if (rmdir(dir.c_str()) != 0 || dir == upTo) break;
  }
}

void JournalRecovery::UndoDirectory(const JournalRecord& record, bool final) {
  const JournalIdentity current = ObserveIdentity(record.path);
  if (current.kind == JournalKind::kMissing) return;
  if (current.device != record.identity.device || current.inode != record.identity.inode) return;
  RemoveMoveTemporaries(record.path);
  if (rmdir(record.path.c_str()) != 0 && final && errno != ENOENT) {
    Affected(record.path + "/");  // something that is not the installer's is inside
  }
}

void JournalRecovery::RemoveMoveTemporaries(const std::string& directory) {
  DIR* stream = opendir(directory.c_str());
  if (stream == nullptr) return;
  std::vector<std::string> leftovers;
  while (dirent* entry = readdir(stream)) {
    const std::string name = entry->d_name;
    // A copy cut off, or a new file of this run not yet in place (its name
    // carries the journal's tag: the installer made it, whatever its size).
    if ((name.size() == kMoveTemporaryLength && name.starts_with(kMoveTemporaryPrefix)) ||
        name.starts_with(m_newFilePrefix)) {
      leftovers.push_back(directory + "/" + name);
    }
  }
  closedir(stream);
  for (const std::string& path : leftovers) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) unlink(path.c_str());
  }
}

bool JournalRecovery::RemoveEmptyTree(const std::string& directory) {
  DIR* stream = opendir(directory.c_str());
  if (stream == nullptr) return errno == ENOENT;
  std::vector<std::string> subdirectories;
  while (dirent* entry = readdir(stream)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = directory + "/" + name;
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) subdirectories.push_back(path);
  }
  closedir(stream);
  for (const std::string& sub : subdirectories) (void)RemoveEmptyTree(sub);
  RemoveMoveTemporaries(directory);
  return rmdir(directory.c_str()) == 0;
}

void JournalRecovery::CleanBackupDirectory() {
  if (m_backup != nullptr && m_backup->identity.kind == JournalKind::kMissing) {
    // Named, perhaps made, never used: an empty directory there goes.
    (void)rmdir(WithoutTrailingSlash(m_backup->path).c_str());
    return;
  }
  if (!m_backupValid) return;
  // What is still in there is an original that did not go back: it stays.
  (void)RemoveEmptyTree(WithoutTrailingSlash(m_backup->path));
}

std::string JournalRecovery::WriteList(const std::vector<std::string>& paths) {
  std::string directory = m_options.reportDirectory;
  if (directory.empty()) {
    directory = Parent(WithoutTrailingSlash(
        m_options.journalDirectory.empty() ? JournalDirectory() : m_options.journalDirectory));
  }
  if (directory.empty()) return {};
  if (directory.back() != '/') directory.push_back('/');
  std::string stem = m_journalName;
  if (stem.ends_with(".jnl")) stem.resize(stem.size() - 4);
  const std::string path = directory + "unrestored-" + stem + ".txt";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (const std::string& line : paths) out << line << '\n';
  out.close();
  return out ? path : std::string();
}

void JournalRecovery::RollBack(RecoveryNotice& notice) {
  // Latest change first, so that every path is undone while it still leads
  // where it led when the change was made.
  for (auto step = m_steps.rbegin(); step != m_steps.rend(); ++step) {
    switch (step->kind) {
      case Step::kChange:
        UndoChange(m_changes[step->change]);
        break;
      case Step::kDirectoryMade:
        UndoDirectory(*step->directory, false);
        break;
      case Step::kDirectoryIntent:
        // Announced but perhaps never confirmed: missing before, so an empty
        // directory there now is the installer's (or holds nothing anyway).
        RemoveEmptyChain(step->directory->path, step->directory->path);
        break;
    }
  }
  // The originals are back: what is left of the backup directory goes (it
  // may lie at the top of a template directory the installation created).
  CleanBackupDirectory();
  // Directories that were not empty on the first pass (a file of a later
  // entry inside, undone since, or the backup directory) get a second look.
  for (auto step = m_steps.rbegin(); step != m_steps.rend(); ++step) {
    switch (step->kind) {
      case Step::kDirectoryMade:
        UndoDirectory(*step->directory, true);
        break;
      case Step::kDirectoryIntent:
        RemoveEmptyChain(step->directory->path, step->directory->path);
        break;
      case Step::kChange: {
        const JournalRecord& intent = *m_changes[step->change].intent;
        if (!intent.firstMissingDirectory.empty()) {
          RemoveEmptyChain(Parent(intent.path), intent.firstMissingDirectory);
        }
        break;
      }
    }
  }
  // An original reported missing may have come back through another name
  // of the same file (a link in the template directory) later in the undo.
  for (const auto& [path, original] : m_missingOriginals) {
    if (!SameContent(ObserveIdentity(path), original)) Affected(path);
  }
  for (const std::string& directory : m_touchedDirectories) RemoveMoveTemporaries(directory);

  if (m_affected.empty()) {
    notice.result = RecoveryResult::kRestored;
    return;
  }
  notice.result = RecoveryResult::kIncomplete;
  for (const std::string& path : m_affected) notice.affected.push_back(Wide(path));
  notice.listFile = Wide(WriteList(m_affected));
  if (m_backup != nullptr) {
    struct stat st {};
    if (m_backupValid && lstat(WithoutTrailingSlash(m_backup->path).c_str(), &st) == 0) {
      notice.backupDirectory = Wide(m_backup->path);
    }
  }
}

// Reads the whole file behind `fd`.
bool ReadAll(int fd, std::string& out) {
  out.clear();
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buffer, static_cast<std::size_t>(n));
  }
}

bool SyncDirectory(const std::string& path) {
  Fd fd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return fd.get() >= 0 && fsync(fd.get()) == 0;
}

// Handles one journal file; false when it was left for later.
bool RecoverOne(const std::string& directory, const std::string& name,
                const RecoveryOptions& options, RecoveryOutcome& outcome) {
  const std::string path = directory + name;
  Fd fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (fd.get() < 0) return false;
  if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return false;  // its owner is alive
  // Finished (and removed) between the open and the lock: nothing to do.
  struct stat opened {};
  struct stat named {};
  if (fstat(fd.get(), &opened) != 0 || opened.st_nlink == 0 || lstat(path.c_str(), &named) != 0 ||
      opened.st_ino != named.st_ino || opened.st_dev != named.st_dev || !S_ISREG(opened.st_mode)) {
    return true;
  }
  std::string bytes;
  if (!ReadAll(fd.get(), bytes)) return false;
  const JournalContents contents = DecodeJournal(bytes);
  if (!contents.parsable) {
    const std::string aside = directory + name + ".damaged";
    if (rename(path.c_str(), aside.c_str()) != 0) return false;
    (void)SyncDirectory(directory);
    RecoveryNotice notice;
    notice.result = RecoveryResult::kDamaged;
    notice.listFile = Wide(aside);
    outcome.notices.push_back(std::move(notice));
    return true;
  }
  const std::string templateDirectory =
      WithoutTrailingSlash(contents.records.front().templateDirectory);
  // One installation per template directory: the one that may be running
  // there now holds this lock.
  Fd templateLock(open(templateDirectory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (templateLock.get() >= 0 && flock(templateLock.get(), LOCK_EX | LOCK_NB) != 0 &&
      errno == EWOULDBLOCK) {
    return false;
  }
  RecoveryNotice notice;
  JournalRecovery recovery(contents, options, name);
  if (!recovery.Run(notice)) return false;
  unlink(path.c_str());
  (void)SyncDirectory(directory);
  if (!recovery.changedNothing()) outcome.notices.push_back(std::move(notice));
  return true;
}

}  // namespace

bool RecoveryOutcome::anyIncomplete() const {
  return std::any_of(notices.begin(), notices.end(), [](const RecoveryNotice& n) {
    return n.result == RecoveryResult::kIncomplete || n.result == RecoveryResult::kDamaged;
  });
}

RecoveryOutcome RecoverInterruptedInstallations(const RecoveryOptions& options) {
  RecoveryOutcome outcome;
  std::string directory =
      options.journalDirectory.empty() ? JournalDirectory() : options.journalDirectory;
  if (directory.empty()) return outcome;
  if (directory.back() != '/') directory.push_back('/');
  DIR* stream = opendir(directory.c_str());
  if (stream == nullptr) return outcome;
  std::vector<std::string> names;
  std::vector<std::string> unnamed;
  while (dirent* entry = readdir(stream)) {
    const std::string name = entry->d_name;
    if (name.size() > 4 && name.ends_with(".jnl")) names.push_back(name);
    if (name.size() == 10 && name.starts_with("tmp-")) unnamed.push_back(name);
  }
  closedir(stream);
  // A journal cut off before it got its name (where it is made under a
  // temporary one): nothing was changed on its account. Removed unless its
  // owner is still at it.
  for (const std::string& name : unnamed) {
    const std::string path = directory + name;
    Fd fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() >= 0 && flock(fd.get(), LOCK_EX | LOCK_NB) == 0) unlink(path.c_str());
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (!RecoverOne(directory, name, options, outcome)) ++outcome.journalsLeft;
  }
  return outcome;
}

WideString RecoveryMessage(const RecoveryNotice& notice) {
  WideString directory = notice.templateDirectory;
  if (directory.size() > 1 && directory.ends_with(u'/'))
    directory = directory.substr(0, directory.size() - 1);
  WideString text;
  switch (notice.result) {
    case RecoveryResult::kRestored:
      text = LoadResourceString(IDS_RECOVERY_RESTORED);
      break;
    case RecoveryResult::kCompleted:
      text = LoadResourceString(IDS_RECOVERY_COMPLETED);
      break;
    case RecoveryResult::kDamaged:
      text = LoadResourceString(IDS_RECOVERY_DAMAGED);
      ReplaceAll(text, WideString(u"%1"), notice.listFile);
      return text;
    case RecoveryResult::kIncomplete: {
      text = LoadResourceString(IDS_RECOVERY_INCOMPLETE);
      WideString shown;
      const WideString prefix = notice.templateDirectory;
      for (std::size_t i = 0; i < notice.affected.size() && i < kRecoveryPathsShown; ++i) {
        WideString path = notice.affected[i];
        if (path.starts_with(prefix.view())) path = path.substr(prefix.size());
        shown += u"\n";
        shown += path;
      }
      if (notice.affected.size() > kRecoveryPathsShown) shown += u"\n...";
      shown += u"\n";  // the text goes on on a line of its own
      ReplaceAll(text, WideString(u"%2"),
                 DecimalText(static_cast<std::int64_t>(notice.affected.size())));
      ReplaceAll(text, WideString(u"%3"), shown);
      ReplaceAll(text, WideString(u"%4"), notice.listFile);
      ReplaceAll(text, WideString(u"\n "), WideString(u"\n"));
      break;
    }
  }
  ReplaceAll(text, WideString(u"%1"), directory);
  return text;
}

}  // namespace veskp8
