#include "install/undo_record.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "install/fs/file_system_native.h"
#include "install/fs/native_path.h"

namespace veskp8 {
namespace {

// lstat of a wide path: 0, ENOENT-like (missing) or another failure.
enum class Look { kFound, kMissing, kUnknown };

Look LookAt(const WideString& path, NarrowString& native, struct stat& st) {
  if (!ToNativePath(path, native)) return Look::kUnknown;
  if (lstat(native.c_str(), &st) == 0) return Look::kFound;
  return (errno == ENOENT || errno == ENOTDIR) ? Look::kMissing : Look::kUnknown;
}

// The outcome of undoing a step whose path is missing (nothing to undo) or
// cannot be looked at (failed); none when it is there, `native` and `st`
// then naming and describing it.
std::optional<UndoOutcome> OutcomeUnlessFound(const UndoStep& step, NarrowString& native,
                                              struct stat& st) {
  switch (LookAt(step.path, native, st)) {
    case Look::kMissing:
      return UndoOutcome::kNothingToUndo;
    case Look::kUnknown:
      return UndoOutcome::kFailed;
    case Look::kFound:
      break;
  }
  return std::nullopt;
}

UndoOutcome UndoDirectory(const UndoStep& step) {
  NarrowString native;
  struct stat st {};
  if (const auto outcome = OutcomeUnlessFound(step, native, st)) return *outcome;
  if (!S_ISDIR(st.st_mode) || (step.identity.known() && !step.identity.SameObject(st))) {
    return UndoOutcome::kLeftAlone;  // not the directory the run made
  }
  if (rmdir(native.c_str()) == 0) return UndoOutcome::kUndone;
  return (errno == ENOTEMPTY || errno == EEXIST) ? UndoOutcome::kLeftAlone : UndoOutcome::kFailed;
}

UndoOutcome UndoWrittenFile(const UndoStep& step) {
  NarrowString native;
  struct stat st {};
  if (!step.temporaryPath.empty() && step.identity.known() &&
      LookAt(step.temporaryPath, native, st) == Look::kFound && step.identity.SameObject(st)) {
    // Not put in place yet: only the temporary name goes.
    if (unlink(native.c_str()) == 0 || errno == ENOENT) return UndoOutcome::kUndone;
    return UndoOutcome::kFailed;
  }
  if (const auto outcome = OutcomeUnlessFound(step, native, st)) return *outcome;
  if (!step.identity.known() || !step.identity.SameObject(st)) {
    return UndoOutcome::kLeftAlone;  // not (known to be) the file the run wrote
  }
  if (unlink(native.c_str()) == 0 || errno == ENOENT) return UndoOutcome::kUndone;
  return UndoOutcome::kFailed;
}

// Whether `st` is the original that a kMovedToBackup step recorded: same
// type, size and modification time (nanoseconds). The inode is not asked: a
// copy back gets a new one, and a freed number may have been reused.
bool IsOriginal(const FileIdentity& original, const struct stat& st) {
  return original.known() && (st.st_mode & S_IFMT) == (original.mode & S_IFMT) &&
         static_cast<std::uint64_t>(st.st_size) == original.size &&
         st.st_mtim.tv_sec == original.mtimeSeconds &&
         static_cast<std::uint32_t>(st.st_mtim.tv_nsec) == original.mtimeNanoseconds;
}

// Whether `st` at the backup path is the original that `step` moved there.
bool IsRecordedBackup(const UndoStep& step, const struct stat& st) {
  if (step.backupIdentity.known()) return step.backupIdentity.SameObject(st);
  // No record of the move's result (it may not have finished): a rename
  // keeps the inode, a copy keeps type, size and modification time.
  return step.identity.SameObject(st) || IsOriginal(step.identity, st);
}

UndoOutcome UndoBackup(const UndoStep& step) {
  NarrowString native;
  struct stat atPath {};
  switch (LookAt(step.path, native, atPath)) {
    case Look::kFound:
      // The original stands at its name: the move never happened, or it was
      // undone already (by a rename, or a copy that kept type, size and
      // times). Anything else there is never replaced.
      return IsOriginal(step.identity, atPath) ? UndoOutcome::kNothingToUndo : UndoOutcome::kFailed;
    case Look::kUnknown:
      return UndoOutcome::kFailed;
    case Look::kMissing:
      break;
  }
  NarrowString backupNative;
  struct stat atBackup {};
  switch (LookAt(step.backupPath, backupNative, atBackup)) {
    case Look::kMissing:
      // Not moved (and the original is gone since), or the backup was lost.
      return step.done ? UndoOutcome::kFailed : UndoOutcome::kNothingToUndo;
    case Look::kUnknown:
      return UndoOutcome::kFailed;
    case Look::kFound:
      break;
  }
  if (!IsRecordedBackup(step, atBackup)) return UndoOutcome::kFailed;
  switch (MoveNoReplace(step.backupPath, step.path)) {
    case MoveResult::kMoved:
      return UndoOutcome::kUndone;
    case MoveResult::kNoSpace:
      return UndoOutcome::kNoSpace;
    case MoveResult::kTargetExists:
    case MoveResult::kFailed:
    case MoveResult::kUnrepresentable:
      break;
  }
  return UndoOutcome::kFailed;
}

}  // namespace

bool FileIdentity::SameObject(const struct stat& st) const noexcept {
  return device == static_cast<std::uint64_t>(st.st_dev) &&
         inode == static_cast<std::uint64_t>(st.st_ino) &&
         (mode & S_IFMT) == (static_cast<std::uint32_t>(st.st_mode) & S_IFMT);
}

FileIdentity FileIdentity::Of(const struct stat& st) noexcept {
  FileIdentity id;
  id.device = static_cast<std::uint64_t>(st.st_dev);
  id.inode = static_cast<std::uint64_t>(st.st_ino);
  id.size = static_cast<std::uint64_t>(st.st_size);
  id.mtimeSeconds = st.st_mtim.tv_sec;
  id.mtimeNanoseconds = static_cast<std::uint32_t>(st.st_mtim.tv_nsec);
  id.mode = static_cast<std::uint32_t>(st.st_mode);
  id.kind = KindOf(id.mode);
  return id;
}

FileKind FileIdentity::KindOf(std::uint32_t mode) noexcept {
  return S_ISREG(mode) ? FileKind::kRegular : S_ISLNK(mode) ? FileKind::kSymlink : FileKind::kOther;
}

UndoOutcome UndoOneStep(const UndoStep& step) {
  switch (step.kind) {
    case UndoKind::kDirectoryCreated:
      return UndoDirectory(step);
    case UndoKind::kFileWritten:
      return UndoWrittenFile(step);
    case UndoKind::kMovedToBackup:
      return UndoBackup(step);
  }
  return UndoOutcome::kFailed;
}

bool UndoRecordInReverse(const UndoRecord& record, UndoObserver* observer) {
  std::vector<UndoOutcome> outcomes(record.size(), UndoOutcome::kNothingToUndo);
  std::vector<bool> settled(record.size(), false);
  for (bool again = true; again;) {
    bool progress = false;
    bool shortOfSpace = false;
    for (std::size_t i = record.size(); i-- > 0;) {
      if (settled[i]) continue;
      const UndoOutcome outcome = UndoOneStep(record[i]);
      outcomes[i] = outcome;
      if (observer != nullptr) observer->OnUndone(i, record[i], static_cast<int>(outcome));
      switch (outcome) {
        case UndoOutcome::kUndone:
          progress = true;
          settled[i] = true;
          break;
        case UndoOutcome::kNoSpace:
          shortOfSpace = true;
          break;
        case UndoOutcome::kNothingToUndo:
          break;  // may lead somewhere once a later restore brought a link back
        case UndoOutcome::kLeftAlone:
        case UndoOutcome::kFailed:
          settled[i] = true;
          break;
      }
    }
    // Another pass only helps when a restore was short of space and this
    // pass freed something; steps that found nothing are tried again then,
    // since a restored link or file may have made their paths lead there.
    again = shortOfSpace && progress;
  }
  for (std::size_t i = 0; i < record.size(); ++i) {
    if (LeavesOriginalInBackup(record[i], outcomes[i])) return false;
  }
  return true;
}

}  // namespace veskp8
