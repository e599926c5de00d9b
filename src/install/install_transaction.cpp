#include "install/install_transaction.h"

#include <cstdint>

#include "install/file_system.h"
#include "install/file_system_native.h"
#include "text/string_ops.h"

namespace veskp8 {
namespace {

// Highest backup directory number tried before Begin gives up.
constexpr std::int32_t kLastBackupNumber = 1'000'000;

// `path` without trailing slashes; "/" stays "/".
WideString WithoutTrailingSlashes(const WideString& path) {
  std::size_t size = path.size();
  while (size > 1 && path[size - 1] == u'/') {
    --size;
  }
  return size == path.size() ? path : path.substr(0, size);
}

}  // namespace

ResultCode InstallTransaction::Begin(const WideString& templateDirectory) {
  m_templateDirectory = templateDirectory;
  m_backupDirectory.clear();
  m_createdDirectories.clear();
  m_newFiles.clear();
  m_restoredCompletely = true;
  if (templateDirectory.empty()) {
    return kOk;
  }
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
  for (std::int32_t number = 0; number <= kLastBackupNumber; ++number) {
    const WideString candidate = base + u"p8stp" + DecimalText(number);
    switch (MakeDirectoryOnce(candidate, 0700)) {
      case MakeDirectoryResult::kCreated:
        m_backupDirectory = candidate + u"/";
        return kOk;
      case MakeDirectoryResult::kAlreadyDirectory:
      case MakeDirectoryResult::kExistsNotDirectory:
        continue;  // someone else's, or left over: neither reused nor removed
      case MakeDirectoryResult::kFailed:
        return kErrNotFound;
    }
  }
  return kErrInvalidParameter;
}

ResultCode InstallTransaction::Backup(const WideString& destination) {
  if (m_backupDirectory.empty() || !destination.starts_with(m_templateDirectory.view()) ||
      destination.size() == m_templateDirectory.size()) {
    return kErrInvalidParameter;
  }
  switch (QueryPathKind(destination)) {
    case PathKind::kMissing:
      return kErrNotFound;  // nothing to move
    case PathKind::kDirectory:
    case PathKind::kOther:
      return kErrInvalidParameter;  // only files and links are ever moved aside
    case PathKind::kRegular:
    case PathKind::kSymlink:
    case PathKind::kUnknown:
      break;
  }
  const WideString target = m_backupDirectory + destination.substr(m_templateDirectory.size());
  const std::size_t slash = target.rfind(u'/');
  if (slash + 1 > m_backupDirectory.size()) {
    const ResultCode code = EnsureBackupSubdirectory(target.substr(0, slash));
    if (code != kOk) {
      return code;
    }
  }
  return MovePathNative(destination, target);
}

ResultCode InstallTransaction::EnsureDirectory(const WideString& path) {
  return EnsureDirectoryLevels(path, Record::kCreatedDirectories, 0777);
}

ResultCode InstallTransaction::EnsureBackupSubdirectory(const WideString& path) {
  return EnsureDirectoryLevels(path, Record::kNothing, 0700);
}

ResultCode InstallTransaction::EnsureDirectoryLevels(const WideString& path, Record record,
                                                     unsigned mode) {
  const WideString directory = WithoutTrailingSlashes(path);
  if (directory.empty() || directory == u"/") {
    return kOk;
  }
  auto created = [&]() {
    if (record == Record::kCreatedDirectories) {
      m_createdDirectories.push_back(directory);
    }
    return kOk;
  };
  switch (MakeDirectoryOnce(directory, static_cast<mode_t>(mode))) {
    case MakeDirectoryResult::kCreated:
      return created();
    case MakeDirectoryResult::kAlreadyDirectory:
      return kOk;
    case MakeDirectoryResult::kExistsNotDirectory:
    case MakeDirectoryResult::kFailed:
      break;
  }
  // Typically the parent is missing: make it, then try this level again.
  const std::size_t slash = directory.rfind(u'/');
  if (slash == WideString::npos) {
    return kErrNoParent;
  }
  const WideString parent = slash == 0 ? WideString(u"/") : directory.substr(0, slash);
  const ResultCode code = EnsureDirectoryLevels(parent, record, mode);
  if (code != kOk) {
    return code;
  }
  switch (MakeDirectoryOnce(directory, static_cast<mode_t>(mode))) {
    case MakeDirectoryResult::kCreated:
      return created();
    case MakeDirectoryResult::kAlreadyDirectory:
      return kOk;  // made by someone else in the meantime: not ours
    case MakeDirectoryResult::kExistsNotDirectory:
    case MakeDirectoryResult::kFailed:
      break;
  }
  return kErrNotFound;
}

void InstallTransaction::RecordNewFile(const WideString& destination) {
  m_newFiles.push_back(destination);
}

void InstallTransaction::Commit() {
  RemoveTree(m_backupDirectory);
  m_backupDirectory.clear();
  m_createdDirectories.clear();
  m_newFiles.clear();
}

ResultCode InstallTransaction::Rollback(ResultCode code) {
  // What the run created goes first: a restore may need the space it holds.
  for (const WideString& file : m_newFiles) {
    (void)RemoveFileNoFollow(file);
  }
  for (const WideString& directory : m_createdDirectories) {
    RemoveTree(directory);
  }
  bool restored = true;
  if (!m_templateDirectory.empty() && !m_backupDirectory.empty()) {
    restored = Restore(m_templateDirectory, m_backupDirectory);
  }
  if (restored && !m_backupDirectory.empty()) {
    RemoveTree(m_backupDirectory);
    m_backupDirectory.clear();
  }
  m_restoredCompletely = restored;
  m_createdDirectories.clear();
  m_newFiles.clear();
  return code;
}

bool InstallTransaction::Restore(const WideString& templateDir, const WideString& backup) {
  std::vector<DirectoryEntry> entries;
  if (ListDirectoryNoFollow(backup, entries) != kOk) {
    return false;
  }
  bool all = true;
  for (const DirectoryEntry& entry : entries) {
    if (entry.kind == PathKind::kDirectory) {
      all = Restore(templateDir + entry.name + u"/", backup + entry.name + u"/") && all;
    } else if (MovePathNative(backup + entry.name, templateDir + entry.name) != kOk) {
      all = false;
    }
  }
  return all;
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
