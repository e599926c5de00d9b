#include "install/install_transaction.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <string>

#include "install/fs/file_system.h"
#include "install/fs/file_system_native.h"
#include "install/fs/native_path.h"
#include "text/conversion.h"
#include "text/narrow_string.h"
#include "text/string_ops.h"

namespace veskp8 {
namespace {

// Highest backup directory number tried before Begin gives up.
constexpr std::int32_t kLastBackupNumber = 1'000'000;

// Permission bits of a new file before the umask.
constexpr mode_t kNewFileMode = 0660;

// The start of a new file's temporary name; the run's tag and a number
// follow.
constexpr char16_t kNewFilePrefix[] = u".veskp8-new-";

// `path` without trailing slashes; "/" stays "/".
WideString WithoutTrailingSlashes(const WideString& path) {
  std::size_t size = path.size();
  while (size > 1 && path[size - 1] == u'/') {
    --size;
  }
  return size == path.size() ? path : path.substr(0, size);
}

// The process's umask, read without changing it for longer than two calls.
mode_t CurrentUmask() {
  const mode_t mask = umask(022);
  umask(mask);
  return mask;
}

// `name` with the case of its first letter that has two cases turned; empty
// when no unit of it has two cases.
WideString CaseVariant(const WideString& name) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto unit = static_cast<wint_t>(name[i]);
    if (unit >= 0xD800 && unit <= 0xDFFF) continue;  // surrogates: leave alone
    const wint_t lower = towlower(unit);
    const wint_t upper = towupper(unit);
    if (lower == upper) continue;
    WideString variant = name.substr(0, i);
    variant.push_back(static_cast<char16_t>(unit == lower ? upper : lower));
    variant += name.substr(i + 1);
    return variant;
  }
  return WideString();
}

// Whether `path` (or its nearest existing level) lies on a file system whose
// content a power loss wipes: tmpfs or ramfs.
bool OnMemoryFileSystem(NarrowString path) {
  constexpr unsigned long kTmpfsMagic = 0x01021994;
  constexpr unsigned long kRamfsMagic = 0x858458f6;
  for (;;) {
    struct statfs fs {};
    if (statfs(path.c_str(), &fs) == 0) {
      const auto type = static_cast<unsigned long>(fs.f_type);
      return type == kTmpfsMagic || type == kRamfsMagic;
    }
    const std::size_t slash = path.view().rfind('/');
    if (slash == std::string_view::npos || path.size() <= 1) return false;
    path = slash == 0 ? NarrowString("/") : path.substr(0, slash);
  }
}

// Lists `directory`'s entries with their inodes (no "." and ".."); false
// when it cannot be read.
bool ListInodes(const WideString& directory,
                std::vector<std::pair<WideString, std::uint64_t>>& out) {
  NarrowString native;
  if (!ToNativePath(directory, native)) return false;
  DIR* stream = opendir(native.empty() ? "/" : native.c_str());
  if (stream == nullptr) return false;
  while (const dirent* entry = readdir(stream)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    out.emplace_back(LocaleToWide(entry->d_name), static_cast<std::uint64_t>(entry->d_ino));
  }
  closedir(stream);
  return true;
}

}  // namespace

InstallTransaction::~InstallTransaction() { ReleaseLock(); }

ResultCode InstallTransaction::Begin(const WideString& templateDirectory) {
  ReleaseLock();
  m_templateDirectory = templateDirectory;
  m_backupDirectory.clear();
  m_record.clear();
  m_ownFiles.clear();
  m_knownDirectories.clear();
  m_listings.clear();
  m_restoredCompletely = true;
  m_umask = CurrentUmask();
  m_newFiles = 0;
  if (templateDirectory.empty()) {
    return kOk;
  }
  // The journal first: nothing of the run exists before the record naming it.
  if (m_observer != nullptr) {
    const ResultCode refused = m_observer->OnBegin(m_templateDirectory);
    if (refused != kOk) return refused;
    m_tag = m_observer->TemporaryNameTag();
  }
  if (m_tag.empty()) m_tag = DecimalText(static_cast<std::int64_t>(getpid()));
  if (!ToNativePath(m_tag, m_nativeTag)) return kErrInvalidParameter;
  // On a file system that a power loss empties (tmpfs) nothing of T
  // survives one: no order to keep on disk.
  NarrowString nativeTemplate;
  m_persistent = !ToNativePath(WithoutTrailingSlashes(m_templateDirectory), nativeTemplate) ||
                 !OnMemoryFileSystem(nativeTemplate);
  // The template directory's missing levels are the run's first changes
  // (the backups may go to its top); then the backup directory; then the
  // directory is locked for the whole run.
  ResultCode code = EnsureDirectory(m_templateDirectory);
  if (code != kOk) {
    return code;
  }
  code = MakeBackupDirectory();
  if (code != kOk) {
    return code;
  }
  return LockTemplateDirectory();
}

ResultCode InstallTransaction::TryBackupDirectory(const WideString& parent, const char16_t* prefix,
                                                  bool& unusable) {
  unusable = false;
  for (std::int32_t number = 0; number <= kLastBackupNumber; ++number) {
    const WideString candidate = parent + prefix + DecimalText(number);
    if (QueryPathKind(candidate) != PathKind::kMissing) continue;  // neither reused nor removed
    if (m_observer != nullptr) {
      const ResultCode refused = m_observer->OnBackupDirectory(candidate + u"/", false);
      if (refused != kOk) return refused;
    }
    switch (MakeDirectoryOnce(candidate, 0700)) {
      case MakeDirectoryResult::kCreated: {
        m_backupDirectory = candidate + u"/";
        if (m_observer != nullptr) {
          const ResultCode refused = m_observer->OnBackupDirectory(m_backupDirectory, true);
          if (refused != kOk) {
            (void)RemoveDirectory(candidate);
            m_backupDirectory.clear();
            return refused;
          }
        }
        return kOk;
      }
      case MakeDirectoryResult::kAlreadyDirectory:
      case MakeDirectoryResult::kExistsNotDirectory:
        continue;  // made meanwhile by someone else
      case MakeDirectoryResult::kFailed:
        unusable = true;
        return kErrNotFound;
    }
  }
  unusable = true;
  return kErrInvalidParameter;
}

ResultCode InstallTransaction::MakeBackupDirectory() {
  bool unusable = false;
  if (m_place == BackupPlace::kBesideTemplates) {
    // On the template directory's own file system, so that backing up and
    // restoring are renames: the product data directory when it lies there,
    // else a private hidden directory at the top of the template directory.
    NarrowString nativeT;
    struct stat t {};
    if (ToNativePath(WithoutTrailingSlashes(m_templateDirectory), nativeT) &&
        stat(nativeT.c_str(), &t) == 0) {
      WideString data = WithoutTrailingSlashes(HomeDirectory());
      if (data == u"/") data.clear();
      data += u"/.veskp8";
      NarrowString nativeData;
      struct stat d {};
      if (!data.starts_with(u"/.") && ToNativePath(data, nativeData) &&
          lstat(nativeData.c_str(), &d) == 0 && S_ISDIR(d.st_mode) && d.st_uid == geteuid() &&
          d.st_dev == t.st_dev) {
        const ResultCode code = TryBackupDirectory(data + u"/", u"p8stp", unusable);
        if (!unusable) return code;
      }
      WideString top = m_templateDirectory;
      if (!top.ends_with(u'/')) top.push_back(u'/');
      const ResultCode code = TryBackupDirectory(top, u".p8stp", unusable);
      if (!unusable) return code;
    }
  }
  // Neither can be made: the temporary directory (a move there is a copy).
  WideString base = GetTempDirectory();
  // The temporary directory is made when missing, but never recorded: a
  // rollback must not remove it together with the backups inside it.
  const ResultCode code = EnsureDirectoryLevels(base, Record::kNothing, 0777);
  if (code != kOk) {
    return code;
  }
  if (!base.ends_with(u'/')) {
    base.push_back(u'/');
  }
  return TryBackupDirectory(base, u"p8stp", unusable);
}

bool InstallTransaction::InsideBackupDirectory(const WideString& path) const {
  return !m_backupDirectory.empty() && (path.starts_with(m_backupDirectory.view()) ||
                                        path == WithoutTrailingSlashes(m_backupDirectory));
}

ResultCode InstallTransaction::LockTemplateDirectory() {
  NarrowString native;
  if (!ToNativePath(WithoutTrailingSlashes(m_templateDirectory), native)) {
    return kErrInvalidParameter;
  }
  const int fd = open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    return kOk;  // cannot be opened for reading (e.g. mode 0300): unlocked
  }
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    const int error = errno;
    close(fd);
    // Taken: another installation runs into this directory. Any other
    // failure means the file system cannot lock: go on without.
    return error == EWOULDBLOCK ? kErrBusy : kOk;
  }
  m_lockFd = fd;
  return kOk;
}

void InstallTransaction::ReleaseLock() {
  if (m_lockFd >= 0) {
    close(m_lockFd);
    m_lockFd = -1;
  }
}

ResultCode InstallTransaction::Intend(UndoStep step) {
  m_record.push_back(std::move(step));
  if (m_observer == nullptr) return kOk;
  const ResultCode refused = m_observer->OnIntent(m_record.size() - 1, m_record.back());
  if (refused != kOk) m_record.pop_back();
  return refused;
}

void InstallTransaction::Done() {
  UndoStep& step = m_record.back();
  step.done = true;
  if (m_observer != nullptr) m_observer->OnDone(m_record.size() - 1, step);
}

bool InstallTransaction::IsOwnFile(const struct stat& st) const {
  return m_ownFiles.contains(
      {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)});
}

WideString InstallTransaction::OnDiskName(const WideString& destination, const struct stat& st) {
  const std::size_t slash = destination.rfind(u'/');
  if (slash == WideString::npos) return destination;
  const WideString directory = destination.substr(0, slash + 1);
  const WideString name = destination.substr(slash + 1);
  const auto inode = static_cast<std::uint64_t>(st.st_ino);
  // A name whose case variant is not the same file is spelled as on disk
  // (the usual, case-sensitive case: one failing lstat, no listing).
  const WideString variant = CaseVariant(name);
  if (variant.empty()) return destination;
  NarrowString variantPath;
  struct stat other {};
  if (!ToNativePath(directory + variant, variantPath) || lstat(variantPath.c_str(), &other) != 0 ||
      other.st_ino != st.st_ino || other.st_dev != st.st_dev) {
    return destination;
  }
  for (int attempt = 0; attempt < 2; ++attempt) {
    auto found = m_listings.find(directory);
    if (found == m_listings.end() || attempt == 1) {
      std::vector<std::pair<WideString, std::uint64_t>> listing;
      if (!ListInodes(directory, listing)) return destination;
      found = m_listings.insert_or_assign(directory, std::move(listing)).first;
    }
    // The name as given wins (a hard link may give the inode a second name);
    // otherwise the entry with this inode that differs only in case.
    const WideString* match = nullptr;
    for (const auto& [entryName, entryInode] : found->second) {
      if (entryName == name) return destination;
      if (entryInode == inode && match == nullptr && CompareNoCase(entryName, name) == 0) {
        match = &entryName;
      }
    }
    if (match != nullptr) return directory + *match;
  }
  return destination;
}

ResultCode InstallTransaction::Backup(const WideString& destination) {
  if (m_backupDirectory.empty() || !destination.starts_with(m_templateDirectory.view()) ||
      destination.size() == m_templateDirectory.size() || InsideBackupDirectory(destination)) {
    return kErrInvalidParameter;
  }
  NarrowString native;
  if (!ToNativePath(destination, native)) return kErrInvalidParameter;
  struct stat st {};
  if (lstat(native.c_str(), &st) != 0) {
    return (errno == ENOENT || errno == ENOTDIR) ? kErrNotFound : kErrInvalidParameter;
  }
  if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
    return kErrInvalidParameter;  // only files and links are ever moved aside
  }
  if (IsOwnFile(st)) {
    // Reached again under another name: the run's own file, never a backup.
    // Its kFileWritten step already undoes the name it was created under.
    return unlink(native.c_str()) == 0 ? kOk : kErrNotFound;
  }
  const WideString original = OnDiskName(destination, st);
  const WideString target = m_backupDirectory + original.substr(m_templateDirectory.size());
  const std::size_t slash = target.rfind(u'/');
  if (slash + 1 > m_backupDirectory.size()) {
    const ResultCode code = EnsureBackupSubdirectory(target.substr(0, slash));
    if (code != kOk) {
      return code;
    }
  }
  // Nothing may be replaced in B: a second original for the same backup name
  // fails its entry.
  if (QueryPathKind(target) != PathKind::kMissing) return kErrNotFound;
  UndoStep step;
  step.kind = UndoKind::kMovedToBackup;
  step.path = original;
  step.backupPath = target;
  step.identity = FileIdentity::Of(st);
  ResultCode code = Intend(std::move(step));
  if (code != kOk) return code;
  struct stat moved {};
  switch (MoveNoReplace(destination, target, &moved, &st)) {
    case MoveResult::kMoved:
      m_record.back().backupIdentity = FileIdentity::Of(moved);
      Done();
      return kOk;
    case MoveResult::kUnrepresentable:
      code = kErrInvalidParameter;
      break;
    case MoveResult::kTargetExists:
    case MoveResult::kNoSpace:
    case MoveResult::kFailed:
      code = kErrNotFound;
      break;
  }
  return code;  // the step stays, not done: its undo finds the original in place
}

ResultCode InstallTransaction::EnsureDirectory(const WideString& path) {
  if (InsideBackupDirectory(path)) return kErrInvalidParameter;
  return EnsureDirectoryLevels(path, Record::kCreatedDirectories, 0777);
}

ResultCode InstallTransaction::EnsureBackupSubdirectory(const WideString& path) {
  return EnsureDirectoryLevels(path, Record::kNothing, 0700);
}

ResultCode InstallTransaction::MakeRecordedDirectory(const WideString& directory, bool& made) {
  made = false;
  UndoStep step;
  step.kind = UndoKind::kDirectoryCreated;
  step.path = directory;
  const ResultCode refused = Intend(std::move(step));
  if (refused != kOk) return refused;
  NarrowString native;
  if (!ToNativePath(directory, native)) {
    m_record.pop_back();
    return kErrInvalidParameter;
  }
  if (mkdir(native.c_str(), 0777) != 0) {
    // Not made by this run (it failed, or someone else made it meanwhile):
    // nothing of it to undo.
    m_record.pop_back();
    return kOk;
  }
  struct stat st {};
  if (lstat(native.c_str(), &st) == 0) m_record.back().identity = FileIdentity::Of(st);
  Done();
  made = true;
  return kOk;
}

ResultCode InstallTransaction::EnsureDirectoryLevels(const WideString& path, Record record,
                                                     unsigned mode) {
  const WideString directory = WithoutTrailingSlashes(path);
  if (directory.empty() || directory == u"/") {
    return kOk;
  }
  const bool recorded = record == Record::kCreatedDirectories;
  if (m_knownDirectories.contains(directory)) {
    return kOk;  // ensured before in this run (T's levels, or B's, private)
  }
  // One attempt at this level; `made` tells whether it exists now.
  auto attempt = [&](bool& exists) -> ResultCode {
    exists = false;
    if (recorded) {
      // Recorded before mkdir: only a level that is missing gets a step.
      switch (QueryPathKind(directory)) {
        case PathKind::kMissing: {
          bool made = false;
          const ResultCode code = MakeRecordedDirectory(directory, made);
          if (code != kOk) return code;
          exists = made || MakeDirectoryOnce(directory, static_cast<mode_t>(mode)) ==
                               MakeDirectoryResult::kAlreadyDirectory;
          return kOk;
        }
        case PathKind::kDirectory:
          exists = true;
          return kOk;
        case PathKind::kSymlink:
          exists = MakeDirectoryOnce(directory, static_cast<mode_t>(mode)) ==
                   MakeDirectoryResult::kAlreadyDirectory;  // a link to a directory
          return kOk;
        case PathKind::kRegular:
        case PathKind::kOther:
        case PathKind::kUnknown:
          return kOk;
      }
      return kOk;
    }
    switch (MakeDirectoryOnce(directory, static_cast<mode_t>(mode))) {
      case MakeDirectoryResult::kCreated:
        // A backup subdirectory: its name in B is durable before a backup
        // moved into it can be.
        if (Durable() && !SyncDirectoryOf(directory)) return kErrInvalidParameter;
        exists = true;
        break;
      case MakeDirectoryResult::kAlreadyDirectory:
        exists = true;
        break;
      case MakeDirectoryResult::kExistsNotDirectory:
      case MakeDirectoryResult::kFailed:
        break;
    }
    return kOk;
  };
  bool exists = false;
  ResultCode code = attempt(exists);
  if (code != kOk) return code;
  if (!exists) {
    // Typically the parent is missing: make it, then try this level again.
    const std::size_t slash = directory.rfind(u'/');
    if (slash == WideString::npos) {
      return kErrNoParent;
    }
    const WideString parent = slash == 0 ? WideString(u"/") : directory.substr(0, slash);
    code = EnsureDirectoryLevels(parent, record, mode);
    if (code != kOk) {
      return code;
    }
    code = attempt(exists);
    if (code != kOk) return code;
    if (!exists) return kErrNotFound;
  }
  m_knownDirectories.insert(directory);
  return kOk;
}

ResultCode InstallTransaction::CreateFile(const WideString& destination, std::uint64_t size,
                                          std::int64_t mtimeSeconds, FileHandle& out) {
  out = kNoFileHandle;
  const std::size_t slash = destination.rfind(u'/');
  if (slash == WideString::npos || InsideBackupDirectory(destination)) {
    return kErrInvalidParameter;
  }
  NarrowString& nativeDestination = m_placeTo;
  if (!ToNativePath(destination, nativeDestination)) return kErrInvalidParameter;
  NarrowString& native = m_placeFrom;
  WideString temporary;
  if (m_persistent) {
    // Written under a temporary name beside its destination, unique to this
    // run, and put in place only when complete (PlaceFile). The native
    // names are made once, kept for PlaceFile: the tag and number are ASCII.
    const std::string number = std::to_string(m_newFiles++);
    temporary = destination.substr(0, slash + 1) + kNewFilePrefix + m_tag + u"-" +
                LocaleToWide(number.c_str());
    const std::size_t nativeSlash = nativeDestination.view().rfind('/');
    native = nativeDestination.substr(0, nativeSlash + 1);
    native += ".veskp8-new-";
    native += m_nativeTag;
    native += "-";
    native += number.c_str();
  } else {
    // Where a power loss takes the template directory with it, the file is
    // made under its name; its identity, recorded (OnDone) before any byte
    // is written, tells a recovery after a kill that it is the run's.
    native = nativeDestination;
  }
  UndoStep step;
  step.kind = UndoKind::kFileWritten;
  step.path = destination;
  step.temporaryPath = temporary;
  step.identity.size = size;
  step.identity.mtimeSeconds = mtimeSeconds;
  step.identity.mode = S_IFREG | (kNewFileMode & ~m_umask);
  const ResultCode refused = Intend(std::move(step));
  if (refused != kOk) return refused;
  const int fd =
      open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kNewFileMode);
  if (fd < 0) {
    const int error = errno;
    m_record.pop_back();  // nothing was created
    return (error == ENOENT || error == EEXIST || error == ENOTDIR) ? kErrNotFound
                                                                    : kErrInvalidParameter;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    // Without its identity the file could not be undone safely: remove it now.
    close(fd);
    unlink(native.c_str());
    m_record.pop_back();
    return kErrInvalidParameter;
  }
  FileIdentity& identity = m_record.back().identity;
  identity.device = static_cast<std::uint64_t>(st.st_dev);
  identity.inode = static_cast<std::uint64_t>(st.st_ino);
  identity.mode = static_cast<std::uint32_t>(st.st_mode);
  m_ownFiles.insert({identity.device, identity.inode});
  Done();
  out = fd;
  return kOk;
}

ResultCode InstallTransaction::PlaceFile() {
  if (m_record.empty() || m_record.back().kind != UndoKind::kFileWritten ||
      m_record.back().placed || !m_record.back().done) {
    return kErrInvalidParameter;
  }
  const std::size_t index = m_record.size() - 1;
  UndoStep& step = m_record.back();
  if (step.temporaryPath.empty()) {
    step.placed = true;  // made under its name
    return kOk;
  }
  // The original this file replaces went to B in the step before: that move
  // is durable (both directories synced) before its name is used again.
  if (index > 0 && Durable()) {
    const UndoStep& previous = m_record[index - 1];
    if (previous.kind == UndoKind::kMovedToBackup && previous.done && previous.path == step.path) {
      if (!SyncDirectoryOf(previous.path) || !SyncDirectoryOf(previous.backupPath)) {
        return kErrInvalidParameter;
      }
    }
  }
  // Every record up to this file's identity is durable before its name
  // appears.
  if (Durable()) m_observer->OnBeforePlace(index, step);
  const NarrowString& from = m_placeFrom;
  const NarrowString& to = m_placeTo;
  int result = renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
  if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
    // A file system without the flag: look, then rename.
    struct stat st {};
    if (lstat(to.c_str(), &st) == 0) {
      errno = EEXIST;
    } else {
      result = rename(from.c_str(), to.c_str());
    }
  }
  if (result != 0) {
    return (errno == EEXIST || errno == ENOENT) ? kErrNotFound : kErrInvalidParameter;
  }
  step.placed = true;
  return kOk;
}

bool InstallTransaction::Durable() const {
  return m_persistent && m_observer != nullptr && m_observer->WantsDurability();
}

bool InstallTransaction::SyncDirectoryOf(const WideString& path) {
  const std::size_t slash = path.rfind(u'/');
  if (slash == WideString::npos) return false;
  NarrowString native;
  if (!ToNativePath(slash == 0 ? WideString(u"/") : path.substr(0, slash), native)) return false;
  const int fd = open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = fsync(fd) == 0;
  close(fd);
  return ok;
}

void InstallTransaction::SyncFileSystemOf(const WideString& path) {
  // The nearest level that still exists (a created one may be gone).
  WideString directory = WithoutTrailingSlashes(path);
  while (!directory.empty()) {
    NarrowString native;
    if (!ToNativePath(directory, native)) return;
    const int fd = open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
      (void)syncfs(fd);
      close(fd);
      return;
    }
    const std::size_t slash = directory.rfind(u'/');
    if (slash == WideString::npos || directory == u"/") return;
    directory = slash == 0 ? WideString(u"/") : directory.substr(0, slash);
  }
}

void InstallTransaction::Commit() {
  // The commit record is durable before the first backup goes.
  if (m_observer != nullptr) m_observer->OnCommit();
  if (!m_backupDirectory.empty()) {
    RemoveTree(m_backupDirectory);
    // Gone for good before the journal that names it goes.
    if (Durable()) (void)SyncDirectoryOf(WithoutTrailingSlashes(m_backupDirectory));
  }
  m_backupDirectory.clear();
  m_record.clear();
  m_ownFiles.clear();
  ReleaseLock();
  if (m_observer != nullptr) m_observer->OnEnd(true, true);
}

ResultCode InstallTransaction::Rollback(ResultCode code) {
  const bool complete = UndoRecordInReverse(m_record, m_observer);
  const WideString backupParent = WithoutTrailingSlashes(m_backupDirectory);
  if (complete && !m_backupDirectory.empty()) {
    RemoveTree(m_backupDirectory);
    m_backupDirectory.clear();
    // B at the top of a template directory this run created kept that
    // directory from going: its levels get a second try.
    for (std::size_t i = m_record.size(); i-- > 0;) {
      if (m_record[i].kind == UndoKind::kDirectoryCreated) (void)UndoOneStep(m_record[i]);
    }
  }
  // What the undo put back is durable before the journal goes.
  if (Durable() && (!m_record.empty() || !backupParent.empty())) {
    SyncFileSystemOf(m_templateDirectory);
    if (!backupParent.empty()) SyncFileSystemOf(backupParent);
  }
  m_restoredCompletely = complete;
  m_record.clear();
  m_ownFiles.clear();
  m_knownDirectories.clear();
  ReleaseLock();
  if (m_observer != nullptr) m_observer->OnEnd(false, complete);
  return code;
}

bool InstallTransaction::RemoveTree(const WideString& path) {
  if (path.empty()) {
    return true;
  }
  const WideString target = WithoutTrailingSlashes(path);
  if (target == u"/") {
    return false;  // never
  }
  return RemoveTreeNoFollow(target) == kOk;
}

}  // namespace veskp8
