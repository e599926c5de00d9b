#include "install/fs/file_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "install/fs/file_time.h"
#include "install/fs/native_path.h"

namespace veskp8 {
namespace {

// Process-wide, deliberately not per thread; atomic only so that a read on one
// thread and a write on another are not a data race.
std::atomic<ResultCode> g_lastError{kOk};

ResultCode Fail(ResultCode code) {
  g_lastError.store(code, std::memory_order_relaxed);
  return code;
}

ResultCode FailFromErrno(int error) {
  return Fail(error == ENOENT ? kErrNotFound : kErrInvalidParameter);
}

}  // namespace

ResultCode LastError() { return g_lastError.load(std::memory_order_relaxed); }

void SetLastError(ResultCode code) { g_lastError.store(code, std::memory_order_relaxed); }

ResultCode OpenFileHandle(const WideString& path, std::uint32_t access,
                          std::uint32_t /*share_mode*/, std::uint32_t disposition,
                          FileHandle& out_handle, std::uint32_t /*flags*/) {
  SetLastError(kOk);
  const std::size_t end = path.view().find(u'\0');
  NarrowString native;
  if (!ToNativePath(end == std::u16string_view::npos ? path : path.substr(0, end), native)) {
    return Fail(kErrInvalidParameter);
  }
  int open_flags = O_RDONLY;
  if (access >= kAccessReadWrite) {
    open_flags = O_RDWR;
  } else if ((access & kAccessWrite) != 0) {
    open_flags = O_WRONLY;
  }
  if (disposition == kTruncateExisting) {
    open_flags |= O_TRUNC;
  } else if (disposition == kCreateKeepContent) {
    open_flags |= O_CREAT;
  }
  int fd;
  do {
    fd = open(native.c_str(), open_flags | O_CLOEXEC, 0660);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return FailFromErrno(errno);
  out_handle = fd;
  return kOk;
}

std::int64_t SeekFile(FileHandle handle, std::int64_t distance, SeekOrigin origin) {
  SetLastError(kOk);
  if (handle == kNoFileHandle) {
    Fail(kErrInvalidHandle);
    return -1;
  }
  const int whence = origin == SeekOrigin::kBegin     ? SEEK_SET
                     : origin == SeekOrigin::kCurrent ? SEEK_CUR
                                                      : SEEK_END;
  const off_t position = lseek(handle, static_cast<off_t>(distance), whence);
  if (position < 0) {
    Fail(errno == EBADF ? kErrInvalidHandle : kErrInvalidParameter);
    return -1;
  }
  return static_cast<std::int64_t>(position);
}

ResultCode ReadFully(FileHandle handle, void* buffer, std::size_t count, std::size_t* out_read) {
  SetLastError(kOk);
  if (out_read == nullptr) return Fail(kErrInvalidParameter);
  *out_read = 0;
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = read(handle, bytes + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      *out_read = done;
      return FailFromErrno(errno);
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  *out_read = done;
  return kOk;
}

ResultCode WriteFile(FileHandle handle, const void* buffer, std::size_t count,
                     std::size_t* out_written) {
  SetLastError(kOk);
  if (out_written != nullptr) *out_written = 0;
  if (handle == kNoFileHandle) return Fail(kErrInvalidHandle);
  if (out_written == nullptr) return Fail(kErrInvalidParameter);
  ssize_t n;
  do {
    n = write(handle, buffer, count);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return FailFromErrno(errno);
  *out_written = static_cast<std::size_t>(n);
  if (static_cast<std::size_t>(n) != count) return Fail(kErrInvalidParameter);
  return kOk;
}

ResultCode CloseFile(FileHandle handle) {
  SetLastError(kOk);
  // The descriptor is released even when close reports EINTR; retrying could
  // close a descriptor another thread has opened since.
  if (close(handle) != 0 && errno != EINTR) return FailFromErrno(errno);
  return kOk;
}

ResultCode GetFileTimes(FileHandle handle, FileTimes& out) {
  SetLastError(kOk);
  if (handle == kNoFileHandle) return Fail(kErrInvalidHandle);
  struct stat st {};
  if (fstat(handle, &st) != 0) return Fail(kErrInvalidHandle);
  out.creation = UnixSecondsToTicks(st.st_ctim.tv_sec);
  out.access = UnixSecondsToTicks(st.st_atim.tv_sec);
  out.modification = UnixSecondsToTicks(st.st_mtim.tv_sec);
  return kOk;
}

ResultCode SetFileTimes(FileHandle handle, std::uint64_t modification_ticks) {
  SetLastError(kOk);
  if (handle == kNoFileHandle) return Fail(kErrInvalidHandle);
  struct timeval times[2] = {};
  times[0].tv_sec = static_cast<time_t>(TicksToUnixSeconds(modification_ticks));
  times[1].tv_sec = times[0].tv_sec;
  if (futimes(handle, times) != 0) return Fail(kErrInvalidHandle);
  return kOk;
}

ResultCode TruncateHere(FileHandle handle) {
  SetLastError(kOk);
  if (handle == kNoFileHandle) return Fail(kErrInvalidHandle);
  const off_t position = lseek(handle, 0, SEEK_CUR);
  if (position < 0) return FailFromErrno(errno);
  int rc;
  do {
    rc = ftruncate(handle, position);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) return FailFromErrno(errno);
  return kOk;
}

ResultCode FlushFile(FileHandle handle) {
  SetLastError(kOk);
  if (handle == kNoFileHandle) return Fail(kErrInvalidHandle);
  if (fsync(handle) != 0) return Fail(kErrInvalidParameter);
  return kOk;
}

}  // namespace veskp8
