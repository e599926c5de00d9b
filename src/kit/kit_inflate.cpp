#include "kit/kit_inflate.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <span>

#include "text/conversion.h"

namespace veskp8 {
namespace {

constexpr std::uint64_t k4GiB = std::uint64_t{1} << 32;

// Reads exactly `length` bytes at `offset`. 13 when the file ends first (it
// was shortened after its size was taken), 2 / 87 for a failed read.
ResultCode ReadWindow(FileHandle kit, unsigned char* buffer, std::uint32_t length,
                      std::uint64_t offset) {
  std::uint32_t done = 0;
  while (done < length) {
    const ssize_t n = pread(kit, buffer + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      const ResultCode rc = errno == ENOENT ? kErrNotFound : kErrInvalidParameter;
      SetLastError(rc);
      return rc;
    }
    if (n == 0) return kErrInvalidData;
    done += static_cast<std::uint32_t>(n);
  }
  return kOk;
}

// Writes the whole buffer at `offset` of the image. kErrDiskFull for a full
// file system.
ResultCode WriteImage(FileHandle image, const unsigned char* data, std::size_t length,
                      std::uint64_t offset) {
  std::size_t done = 0;
  while (done < length) {
    const ssize_t n = pwrite(image, data + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : ENOSPC;
      const ResultCode rc = error == ENOSPC || error == EDQUOT ? kErrDiskFull
                            : error == EBADF                  ? kErrInvalidHandle
                                                              : kErrInvalidParameter;
      SetLastError(rc);
      return rc;
    }
    done += static_cast<std::size_t>(n);
  }
  return kOk;
}

}  // namespace

ResultCode OpenKitFile(const WideString& kitPath, FileHandle& out_handle) {
  out_handle = kNoFileHandle;
  SetLastError(kOk);
  NarrowString native;
  if (kitPath.view().find(u'\0') != std::u16string_view::npos ||
      !WideToLocaleChecked(kitPath, native)) {
    SetLastError(kErrInvalidParameter);
    return kErrInvalidParameter;
  }
  struct stat before {};
  if (stat(native.c_str(), &before) != 0) {
    const ResultCode rc = errno == ENOENT || errno == ENOTDIR ? kErrNotFound : kErrInvalidParameter;
    SetLastError(rc);
    return rc;
  }
  // A directory, FIFO, socket or device is not a kit, and must not even be
  // opened: opening a FIFO blocks, opening a device can have effects.
  if (!S_ISREG(before.st_mode)) {
    SetLastError(kErrNotFound);
    return kErrNotFound;
  }
  int fd;
  do {
    fd = open(native.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    const ResultCode rc = errno == ENOENT ? kErrNotFound : kErrInvalidParameter;
    SetLastError(rc);
    return rc;
  }
  struct stat after {};
  if (fstat(fd, &after) != 0 || !S_ISREG(after.st_mode) || after.st_dev != before.st_dev ||
      after.st_ino != before.st_ino) {
    close(fd);
    SetLastError(kErrNotFound);
    return kErrNotFound;
  }
  out_handle = fd;
  return kOk;
}

ResultCode InflateKit(FileHandle kitHandle, FileHandle imageHandle,
                      const std::atomic<bool>* stop, const InflateKitOptions& options) {
  SetLastError(kOk);
  struct stat kitStatus {};
  if (kitHandle == kNoFileHandle || fstat(kitHandle, &kitStatus) != 0) return kErrInvalidHandle;
  if (imageHandle == kNoFileHandle) return kErrInvalidHandle;
  const std::uint64_t kitSize =
      kitStatus.st_size < 0 ? 0 : static_cast<std::uint64_t>(kitStatus.st_size);
  if (kitSize >= k4GiB) return kErrInvalidData;

  RawInflater inflater(options.inflater);
  if (!inflater.ok()) return kErrInvalidParameter;
  // Not zeroed: every byte is written before it is used.
  const std::unique_ptr<unsigned char[]> in(new unsigned char[kKitWindowSize]);
  const std::unique_ptr<unsigned char[]> outBuffer(new unsigned char[kKitImageWriteSize]);
  const std::span<unsigned char> out(outBuffer.get(), kKitImageWriteSize);
  std::uint64_t imageBytes = 0;  // written to the image
  std::size_t pending = 0;       // produced into `out`, not written yet
  std::uint64_t kitRead = 0;
  bool ended = false;
  ResultCode rc = kOk;
  auto flush = [&]() -> ResultCode {
    if (pending == 0) return kOk;
    const ResultCode written = WriteImage(imageHandle, out.data(), pending, imageBytes);
    if (written != kOk) return written;
    imageBytes += pending;
    pending = 0;
    if (options.progress) options.progress(imageBytes, kitRead);
    return kOk;
  };
  while (kitRead < kitSize && !ended && rc == kOk) {
    if ((stop != nullptr && stop->load()) ||
        (options.alsoStop != nullptr && options.alsoStop->load())) {
      return kErrCancelled;
    }
    const std::uint32_t length = static_cast<std::uint32_t>(
        kitSize - kitRead < kKitWindowSize ? kitSize - kitRead : kKitWindowSize);
    rc = ReadWindow(kitHandle, in.get(), length, kitRead);
    if (rc != kOk) break;
    kitRead += length;
    std::size_t used = 0;
    for (;;) {
      const InflateStep step =
          inflater.Inflate(in.get() + used, length - used, out.data() + pending, out.size() - pending);
      used += step.consumed;
      pending += step.produced;
      if (imageBytes + pending >= k4GiB) {
        rc = kErrInvalidData;
        break;
      }
      if (step.status == InflateStatus::kError) {
        rc = kErrInvalidData;
        break;
      }
      if (step.status == InflateStatus::kEnd) {
        ended = true;
        break;
      }
      if (pending == out.size()) {
        if ((rc = flush()) != kOk) break;
        // A kit of long runs makes much image of little input.
        if ((stop != nullptr && stop->load()) ||
            (options.alsoStop != nullptr && options.alsoStop->load())) {
          return kErrCancelled;
        }
        continue;
      }
      if (used == length) break;  // the window's input is used up
      if (step.consumed == 0 && step.produced == 0) {
        rc = kErrInvalidData;  // no progress with input and room: never loop
        break;
      }
    }
  }
  if (rc == kOk) rc = flush();
  if (rc == kOk && kitSize != 0 && !ended) rc = kErrInvalidData;
  if (rc == kOk) {
    int cut;
    do {
      cut = ftruncate(imageHandle, static_cast<off_t>(imageBytes));
    } while (cut != 0 && errno == EINTR);
    if (cut != 0) rc = errno == ENOSPC || errno == EDQUOT ? kErrDiskFull : kErrInvalidParameter;
  }
  return rc;
}

}  // namespace veskp8
