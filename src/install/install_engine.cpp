#include "install/install_engine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <new>
#include <thread>
#include <utility>

#include "install/fs/file_handle.h"
#include "install/fs/file_system_native.h"
#include "install/fs/file_time.h"
#include "install/install_journal.h"
#include "install/install_outcome.h"
#include "install/progress_channel.h"
#include "kit/kit_archive.h"
#include "resources/resource_table.h"
#include "text/conversion.h"
#include "text/string_ops.h"

namespace veskp8 {
namespace {

// True when `destination` (its lstat in `st`) is a regular file, or a link
// to one, whose modification time in whole seconds is not older than
// `entryTicks`. A link is followed for this test only, opened without
// blocking so that a link to a FIFO cannot hang the job; a file that cannot
// be examined is not up to date.
bool IsUpToDate(const WideString& destination, const struct stat& st, std::uint64_t entryTicks) {
  if (S_ISREG(st.st_mode)) return UnixSecondsToTicks(st.st_mtime) >= entryTicks;
  NarrowString path;
  if (!WideToLocaleChecked(destination, path)) {
    return false;
  }
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  struct stat status {};
  const bool upToDate = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
                        UnixSecondsToTicks(status.st_mtime) >= entryTicks;
  close(fd);
  return upToDate;
}

// lstat of a wide path; the kinds of QueryPathKind.
PathKind Look(const WideString& path, struct stat& st) {
  NarrowString native;
  if (!WideToLocaleChecked(path, native)) return PathKind::kUnknown;
  if (lstat(native.c_str(), &st) != 0) {
    return (errno == ENOENT || errno == ENOTDIR) ? PathKind::kMissing : PathKind::kUnknown;
  }
  if (S_ISREG(st.st_mode)) return PathKind::kRegular;
  if (S_ISLNK(st.st_mode)) return PathKind::kSymlink;
  if (S_ISDIR(st.st_mode)) return PathKind::kDirectory;
  return PathKind::kOther;
}

}  // namespace

namespace {

UndoObserver* ObserverOf(const InstallJobOptions& options) {
  return options.journal != nullptr ? options.journal : options.undoObserver;
}

}  // namespace

InstallEngine::InstallEngine(InstallJobOptions options)
    : m_options(std::move(options)),
      m_transaction(ObserverOf(m_options),
                    m_options.backupsInTemporaryDirectory
                        ? InstallTransaction::BackupPlace::kTemporaryDirectory
                        : InstallTransaction::BackupPlace::kBesideTemplates) {}

InstallEngine::~InstallEngine() { CloseSyncTargets(); }

ResultCode InstallEngine::RunJob(ProgressChannel& channel) {
  m_channel = &channel;
  int percent = 0;
  try {
    const ProgressJob job = channel.ReadJob();
    if (job.kit == nullptr) {
      return ReportError(kErrInvalidParameter, 0);
    }
    const ResultCode code = Install(*job.kit, job.target, percent);
    if (code != kOk) {
      return ReportError(code, percent);
    }
    channel.Post(kOk, LoadResourceString("IDS_INSTALL_FINISH"), 100);
  } catch (const std::bad_alloc&) {
    // Out of memory inside the job: undo like any other failure (after a
    // commit the record is empty and the rollback does nothing).
    return ReportError(kErrInvalidParameter, percent);
  }
  Pause();
  return kOk;
}

ResultCode InstallEngine::Install(KitArchive& kit, const WideString& target, int& percent) {
  percent = 0;
  ResultCode code = m_transaction.Begin(target);
  if (code != kOk) {
    return code;
  }
  const std::vector<KitEntry>& entries = kit.entries();
  const std::size_t count = entries.size();
  const WideString backslash(u"\\");
  const WideString slash(u"/");
  for (std::size_t index = 0; index < count; ++index) {
    percent = static_cast<int>(static_cast<std::uint64_t>(index) * 100 / count);
    WideString name = entries[index].name;
    ReplaceAll(name, backslash, slash);
    const WideString destination = target + name;
    if (Stopped()) {
      return kErrCancelled;
    }
    m_channel->Post(kOk, destination, percent);
    if (index % InstallJournal::kBatchSize == 0) {
      WriteIntents(kit, target, index);
    }
    code = InstallEntry(kit, index, destination);
    if (code != kOk) {
      m_failedDestination = destination;
      return code;
    }
  }
  code = Step(InstallStep::kCommit, count, target);
  if (code == kOk) {
    code = MakeWrittenFilesDurable();
  }
  if (code != kOk) {
    return code;
  }
  m_transaction.Commit();
  return kOk;
}

void InstallEngine::WriteIntents(const KitArchive& kit, const WideString& target,
                                 std::size_t first) {
  InstallJournal* journal = m_options.journal;
  if (journal == nullptr || !journal->journalling()) {
    return;
  }
  const std::vector<KitEntry>& entries = kit.entries();
  const std::size_t end = std::min(entries.size(), first + InstallJournal::kBatchSize);
  std::vector<JournalIntent> intents(end - first);
  for (std::size_t index = first; index < end; ++index) {
    JournalIntent& intent = intents[index - first];
    intent.name = &entries[index].name;
    intent.entry = static_cast<std::uint32_t>(index);
    intent.size = entries[index].dataSize;
    intent.mtimeSec = TicksToUnixSeconds(entries[index].modificationTime);
  }
  journal->WriteIntents(target, intents);
}

ResultCode InstallEngine::InstallEntry(KitArchive& kit, std::size_t index,
                                       const WideString& destination) {
  ResultCode code = Step(InstallStep::kUpToDateTest, index, destination);
  if (code != kOk) {
    return code;
  }
  // Only files are ever replaced; what stands at the destination is decided
  // with lstat, never by whether it can be opened.
  bool existed = false;
  struct stat st {};
  switch (Look(destination, st)) {
    case PathKind::kMissing:
      break;
    case PathKind::kRegular:
    case PathKind::kSymlink:
      existed = true;
      break;
    case PathKind::kDirectory:
    case PathKind::kOther:
    case PathKind::kUnknown:
      return kErrInvalidParameter;
  }
  if (existed && IsUpToDate(destination, st, kit.entries()[index].modificationTime)) {
    ++m_counts.unchanged;
    return kOk;  // skipped: no backup, no write, no cancel test
  }
  if (existed) {
    code = Step(InstallStep::kBackup, index, destination);
    if (code != kOk) {
      return code;
    }
    code = m_transaction.Backup(destination);
    if (code != kOk) {
      // An existing file is never overwritten without its backup. One that
      // vanished since the test left nothing to move: it counts as absent.
      if (QueryPathKind(destination) != PathKind::kMissing) {
        return code;
      }
      existed = false;
    }
  }
  code = Step(InstallStep::kEnsureDirectory, index, destination);
  if (code != kOk) {
    return code;
  }
  const std::size_t lastSlash = destination.rfind(u'/');
  if (lastSlash != WideString::npos && lastSlash != 0) {
    code = m_transaction.EnsureDirectory(destination.substr(0, lastSlash));
    if (code != kOk) {
      return code;
    }
  }
  code = Step(InstallStep::kWrite, index, destination);
  if (code == kOk) {
    code = WriteEntry(kit, index, destination);
  }
  if (code == kOk) {
    code = Step(InstallStep::kWritten, index, destination);
  }
  if (code != kOk) {
    return code;
  }
  ++(existed ? m_counts.replaced : m_counts.newFiles);
  return m_channel->IsCancelRequested() ? kErrCancelled : kOk;
}

ResultCode InstallEngine::WriteEntry(KitArchive& kit, std::size_t index,
                                     const WideString& destination) {
  const KitEntry& entry = kit.entries()[index];
  FileHandle file = kNoFileHandle;
  // A new file, never opened over anything: the transaction records it first.
  ResultCode code = m_transaction.CreateFile(destination, entry.dataSize,
                                             TicksToUnixSeconds(entry.modificationTime), file);
  if (code != kOk) {
    return code;
  }
  auto fail = [&](ResultCode failure) {
    (void)CloseFile(file);
    return failure;
  };
  const FileHandle image = kit.imageHandle();
  if (SeekFile(image, entry.dataOffset, SeekOrigin::kBegin) < 0) {
    const ResultCode seekError = LastError();
    return fail(seekError != kOk ? seekError : kErrInvalidHandle);
  }
  unsigned char* buffer = kit.copyBuffer();
  const std::uint32_t bufferSize = kit.copyBufferSize();
  std::uint32_t remaining = entry.dataSize;
  while (remaining != 0) {
    const std::size_t wanted = std::min(remaining, bufferSize);
    std::size_t got = 0;
    code = ReadFully(image, buffer, wanted, &got);
    if (code != kOk) {
      return fail(code);
    }
    if (got == 0) {
      return fail(kErrInvalidData);  // the image ends before the entry's data
    }
    const std::size_t n = std::min<std::size_t>(got, remaining);
    remaining -= static_cast<std::uint32_t>(n);
    std::size_t written = 0;
    code = WriteFile(file, buffer, n, &written);
    if (code != kOk) {
      return fail(code);
    }
    if (remaining != 0 && Stopped()) {
      return fail(kErrCancelled);  // the rollback removes or restores the file
    }
  }
  // A new file: nothing beyond the data to cut off.
  code = SetFileTimes(file, entry.modificationTime);
  if (code != kOk) {
    return fail(code);
  }
  if (m_options.journal != nullptr) {
    m_options.journal->NoteFileWritten(destination, file);
  }
  // Complete: now it may stand under its name.
  code = m_transaction.PlaceFile();
  if (code != kOk) {
    return fail(code);
  }
  RememberFileSystemOf(file, m_transaction.record().back().identity.device);
  return CloseFile(file);
}

void InstallEngine::RememberFileSystemOf(int fd, std::uint64_t fileDevice) {
  const auto device = static_cast<unsigned long>(fileDevice);
  for (const auto& known : m_syncTargets) {
    if (known.first == device) {
      return;
    }
  }
  const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (copy < 0) {
    m_syncFailed = true;
    return;
  }
  m_syncTargets.emplace_back(device, copy);
}

ResultCode InstallEngine::MakeWrittenFilesDurable() {
  bool ok = !m_syncFailed;
  for (const auto& target : m_syncTargets) {
    if (syncfs(target.second) != 0) {
      ok = false;
    }
  }
  CloseSyncTargets();
  return ok ? kOk : kErrInvalidParameter;
}

void InstallEngine::CloseSyncTargets() {
  for (const auto& target : m_syncTargets) {
    close(target.second);
  }
  m_syncTargets.clear();
}

ResultCode InstallEngine::Step(InstallStep step, std::size_t index,
                               const WideString& destination) const {
  return m_options.stepHook ? m_options.stepHook(step, index, destination) : kOk;
}

bool InstallEngine::Stopped() const noexcept {
  return m_options.stop != nullptr && m_options.stop->load();
}

void InstallEngine::Pause() const {
  // In short steps, so that a stop does not wait for the whole pause.
  constexpr unsigned kStepMs = 20;
  for (unsigned waited = 0; waited < m_options.pauseMilliseconds && !Stopped();
       waited += kStepMs) {
    std::this_thread::sleep_for(
        std::chrono::milliseconds(std::min(kStepMs, m_options.pauseMilliseconds - waited)));
  }
}

ResultCode InstallEngine::ReportError(ResultCode code, int percent) {
  // The descriptors kept for the durability pass hold written files open:
  // closed first, so that removing those files frees their space.
  CloseSyncTargets();
  // The error becomes visible only once the template directory is restored.
  (void)m_transaction.Rollback(code);
  if (m_options.journal != nullptr) {
    m_options.journal->Finish();  // also when the transaction never began
  }
  if (!m_transaction.restoredCompletely()) {
    // The truth: originals are left in the backup directory, which is kept.
    const WideString backup = m_transaction.backupDirectory();
    m_channel->Post(kErrRollbackIncomplete,
                    WithDirectory(LoadResourceString(IDS_ROLLBACK_INCOMPLETE), backup), percent,
                    backup, code);
    return kErrRollbackIncomplete;
  }
  // A busy template directory says so instead of "Installation error".
  m_channel->Post(code, LoadResourceString(code == kErrBusy ? IDS_INSTALL_BUSY : IDS_INSTALL_ERROR),
                  percent);
  return code;
}

}  // namespace veskp8
