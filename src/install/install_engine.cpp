#include "install/install_engine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
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

// The kernel copies from the image without a trip through user space while
// it can; false once it said it cannot (another file system, an old kernel).
std::atomic<bool> g_copyRangeWorks{true};

// Entries of this size and more are copied with copy_file_range.
constexpr std::uint64_t kCopyRangeFrom = 16384;

// Copies the `length` bytes at `offset` of the image into `file` at its
// position, through the kit's copy buffer. 13 when the image ends first.
ResultCode CopyThroughBuffer(KitArchive& kit, int file, std::uint64_t offset, std::size_t length) {
  unsigned char* buffer = kit.copyBuffer();
  while (length != 0) {
    const std::size_t wanted = std::min<std::size_t>(length, kit.copyBufferSize());
    const ssize_t got = pread(kit.imageHandle(), buffer, wanted, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno == EBADF ? kErrInvalidHandle : kErrInvalidParameter;
    if (got == 0) return kErrInvalidData;  // the image ends before the entry's data
    std::size_t written = 0;
    const ResultCode code = WriteFile(file, buffer, static_cast<std::size_t>(got), &written);
    if (code != kOk) return code;
    offset += static_cast<std::uint64_t>(got);
    length -= static_cast<std::size_t>(got);
  }
  return kOk;
}

// Copies the entry's bytes from the kit image into `file`, block by block of
// at most the copy buffer's size: each block once the image holds it (the
// kit may still be inflating), with copy_file_range where the kernel offers
// it and the entry has kCopyRangeFrom bytes or more, else through the copy
// buffer. After each block `copied(n, more)` is
// told its size and whether blocks follow; when it answers false (a stop or
// a cancel request) the copy ends with 1223 (the rollback removes or
// restores the file).
ResultCode CopyEntryBytes(KitArchive& kit, const KitEntry& entry, int file,
                          const std::atomic<bool>* stop,
                          const std::function<bool(std::size_t, bool)>& copied) {
  std::uint64_t offset = entry.dataOffset;
  const std::uint64_t end = offset + entry.dataSize;
  // A small entry goes through the buffer: on tmpfs a read and a write cost
  // about 1 us less than the kernel's copy, whose setup outweighs the copy it
  // saves below a few KiB.
  const bool small = entry.dataSize < kCopyRangeFrom;
  while (offset < end) {
    const std::size_t block =
        static_cast<std::size_t>(std::min<std::uint64_t>(end - offset, kit.copyBufferSize()));
    ResultCode code = WaitForKitBytes(kit, offset + block, stop);
    if (code != kOk) {
      return code;
    }
    std::size_t done = 0;
    while (done < block && !small && g_copyRangeWorks.load(std::memory_order_relaxed)) {
      loff_t from = static_cast<loff_t>(offset + done);
      const ssize_t n = copy_file_range(kit.imageHandle(), &from, file, nullptr, block - done, 0);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
      } else if (n == 0) {
        return kErrInvalidData;  // the image ends before the entry's data
      } else if (errno == EINTR) {
        continue;
      } else if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
                 errno == ETXTBSY || errno == EPERM) {
        g_copyRangeWorks.store(false, std::memory_order_relaxed);
      } else {
        SetLastError(errno == ENOENT ? kErrNotFound : kErrInvalidParameter);
        return LastError();
      }
    }
    if (done < block) {
      code = CopyThroughBuffer(kit, file, offset + done, block - done);
      if (code != kOk) {
        return code;
      }
    }
    offset += block;
    if (!copied(block, offset < end)) {
      return kErrCancelled;
    }
  }
  return kOk;
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
  errno = 0;
  ResultCode code = m_transaction.Begin(target);
  if (code != kOk) {
    return Failed(code);
  }
  const std::vector<KitEntry>& entries = kit.entries();
  const std::size_t count = entries.size();
  std::vector<std::uint32_t> sizes;
  sizes.reserve(count);
  for (const KitEntry& entry : entries) sizes.push_back(entry.dataSize);
  m_meter = ProgressMeter(sizes);
  const WideString backslash(u"\\");
  const WideString slash(u"/");
  for (std::size_t index = 0; index < count; ++index) {
    m_meter.StartEntry(index);
    percent = m_meter.Percent();
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
  // A kit still inflating must prove whole (its stream ended, every entry's
  // data inside it) before anything is committed.
  code = CompleteKit(kit, m_options.stop);
  if (code == kOk) {
    code = Step(InstallStep::kCommit, count, target);
  }
  if (code == kOk) {
    errno = 0;
    code = MakeWrittenFilesDurable();
  }
  if (code != kOk) {
    return Failed(code);
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
  errno = 0;  // what fails below keeps its own reason
  // Only files are ever replaced; what stands at the destination is decided
  // with lstat, never by whether it can be opened (up_to_date.h).
  bool existed = false;
  switch (m_judge.Judge(kit, index, destination, m_options.upToDate)) {
    case DestinationVerdict::kMissing:
      break;
    case DestinationVerdict::kOutdated:
      existed = true;
      break;
    case DestinationVerdict::kUpToDate:
      ++m_counts.unchanged;
      return kOk;  // skipped: no backup, no write, no cancel test
    case DestinationVerdict::kInTheWay: {
      // The reason the user is told: what stands there.
      const int lookError = errno;
      switch (QueryPathKind(destination)) {
        case PathKind::kDirectory:
          return Failed(kErrInvalidParameter, EISDIR);
        case PathKind::kOther:
          return Failed(kErrInvalidParameter, EEXIST);
        default:
          return Failed(kErrInvalidParameter, lookError);
      }
    }
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
      const int moveError = errno;
      if (QueryPathKind(destination) != PathKind::kMissing) {
        return Failed(code, moveError);
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
      return Failed(code);
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
    return Failed(code);
  }
  auto fail = [&](ResultCode failure) {
    (void)Failed(failure);  // before the close can change errno
    (void)CloseFile(file);
    return failure;
  };
  code = CopyEntryBytes(kit, entry, file, m_options.stop, [&](std::size_t n, bool more) {
    const int before = m_meter.Percent();
    m_meter.AddBytes(n);
    if (more && m_meter.Percent() != before) {
      m_channel->Post(kOk, destination, m_meter.Percent());
    }
    return !(more && (Stopped() || m_channel->IsCancelRequested()));
  });
  if (code != kOk) {
    // A damaged image or a stop: no system error to tell.
    if (code == kErrInvalidData || code == kErrCancelled) errno = 0;
    return fail(code);
  }
  // A new file: nothing beyond the data to cut off.
  code = SetFileTimes(file, entry.modificationTime);
  if (code != kOk) {
    return fail(code);
  }
  errno = 0;
  if (m_options.journal != nullptr) {
    m_options.journal->NoteFileWritten(destination, file);
  }
  // Complete: now it may stand under its name.
  const bool renamed = !m_transaction.record().back().temporaryPath.empty();
  code = m_transaction.PlaceFile();
  if (code != kOk) {
    return fail(code);
  }
  if (renamed) {
    // Renamed into place while open: some file systems (FAT through FUSE)
    // give the name the time of the rename; the entry's time is set again.
    code = SetFileTimes(file, entry.modificationTime);
    if (code != kOk) {
      return fail(code);
    }
  }
  RememberFileSystemOf(file, m_transaction.record().back().identity.device);
  code = CloseFile(file);
  return code != kOk ? Failed(code) : kOk;
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

ResultCode InstallEngine::Failed(ResultCode code, int systemError) {
  if (m_failedError == 0) m_failedError = systemError != 0 ? systemError : errno;
  return code;
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
