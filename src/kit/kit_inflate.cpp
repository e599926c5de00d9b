#include "kit/kit_inflate.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <vector>

#include "text/conversion.h"

namespace veskp8 {
namespace {

constexpr std::uint64_t k4GiB = std::uint64_t{1} << 32;

class InflateStream {
 public:
  // Raw deflate (window bits -15). The macro passes the version of the zlib
  // headers built against to inflateInit2_, which checks it against the library.
  InflateStream() : m_ok(inflateInit2(&m_z, -15) == Z_OK) {}
  ~InflateStream() {
    if (m_ok) inflateEnd(&m_z);
  }
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;
  bool ok() const { return m_ok; }
  z_stream& z() { return m_z; }

 private:
  z_stream m_z{};
  bool m_ok;
};

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

// Inflates one window of input into the image. Sets `ended` when the stream
// reached its end.
ResultCode InflateWindow(z_stream& z, unsigned char* window, std::uint32_t length,
                         FileHandle image, unsigned char* out, std::uint64_t& imageBytes,
                         bool& ended) {
  z.next_in = window;
  z.avail_in = length;
  for (;;) {
    z.next_out = out;
    z.avail_out = length;
    int status = inflate(&z, Z_NO_FLUSH);
    const std::uint32_t produced = length - z.avail_out;
    if (status == Z_BUF_ERROR && z.avail_in == 0) status = Z_OK;
    if (status < 0) return kErrInvalidData;
    if (produced != 0) {
      imageBytes += produced;
      if (imageBytes >= k4GiB) return kErrInvalidData;
      // A short write is tried again for the rest, so that a full file
      // system (or quota) shows as such: a lack of space, not a bad kit.
      for (std::size_t done = 0; done < produced;) {
        std::size_t written = 0;
        errno = 0;
        const ResultCode rc = WriteFile(image, out + done, produced - done, &written);
        done += written;
        if (rc == kOk) break;
        if (written == 0) return errno == ENOSPC || errno == EDQUOT ? kErrDiskFull : rc;
      }
    }
    if (status == Z_STREAM_END) {
      ended = true;
      return kOk;
    }
    if (z.avail_out != 0) return kOk;  // the window's input is used up
  }
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
                      const std::atomic<bool>* stop) {
  SetLastError(kOk);
  struct stat kitStatus {};
  if (kitHandle == kNoFileHandle || fstat(kitHandle, &kitStatus) != 0) return kErrInvalidHandle;
  const std::uint64_t kitSize =
      kitStatus.st_size < 0 ? 0 : static_cast<std::uint64_t>(kitStatus.st_size);
  if (kitSize >= k4GiB) return kErrInvalidData;
  if (SeekFile(imageHandle, 0, SeekOrigin::kBegin) != 0) {
    return LastError() != kOk ? LastError() : kErrInvalidHandle;
  }

  InflateStream stream;
  if (!stream.ok()) return kErrInvalidParameter;
  std::vector<unsigned char> in(kKitWindowSize);
  std::vector<unsigned char> out(kKitWindowSize);
  std::uint64_t imageBytes = 0;
  bool ended = false;
  ResultCode rc = kOk;
  for (std::uint64_t offset = 0; offset < kitSize && !ended && rc == kOk;
       offset += kKitWindowSize) {
    if (stop != nullptr && stop->load()) return kErrCancelled;
    const std::uint32_t length = static_cast<std::uint32_t>(
        kitSize - offset < kKitWindowSize ? kitSize - offset : kKitWindowSize);
    rc = ReadWindow(kitHandle, in.data(), length, offset);
    if (rc == kOk) {
      rc = InflateWindow(stream.z(), in.data(), length, imageHandle, out.data(), imageBytes, ended);
    }
  }
  if (rc == kOk && kitSize != 0 && !ended) rc = kErrInvalidData;
  if (rc == kOk) rc = TruncateHere(imageHandle);
  return rc;
}

}  // namespace veskp8
