#include "kit/kit_inflate.h"

#include <sys/mman.h>
#include <zlib.h>

#include <vector>

#include "install/file_handle.h"

namespace veskp8 {
namespace {

constexpr std::uint64_t k4GiB = std::uint64_t{1} << 32;

// Closes `handle` on every path out of the inflate step.
class HandleGuard {
 public:
  explicit HandleGuard(FileHandle handle) : m_handle(handle) {}
  ~HandleGuard() {
    if (m_handle != kNoFileHandle) (void)CloseFile(m_handle);
  }
  HandleGuard(const HandleGuard&) = delete;
  HandleGuard& operator=(const HandleGuard&) = delete;
  // Closes now and reports the result.
  ResultCode Close() {
    const ResultCode rc = CloseFile(m_handle);
    m_handle = kNoFileHandle;
    return rc;
  }

 private:
  FileHandle m_handle;
};

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

// Inflates one mapped window into the image. Sets `ended` when the stream
// reached its end.
ResultCode InflateWindow(z_stream& z, const unsigned char* window, std::uint32_t length,
                         FileHandle image, unsigned char* out, std::uint64_t& imageBytes,
                         bool& ended) {
  z.next_in = const_cast<unsigned char*>(window);
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
      std::size_t written = 0;
      const ResultCode rc = WriteFile(image, out, produced, &written);
      if (rc != kOk) return rc;
    }
    if (status == Z_STREAM_END) {
      ended = true;
      return kOk;
    }
    if (z.avail_out != 0) return kOk;  // the window's input is used up
  }
}

}  // namespace

ResultCode InflateKit(const WideString& kitPath, const WideString& imagePath) {
  FileHandle kitHandle = kNoFileHandle;
  ResultCode rc = OpenFileHandle(kitPath, kAccessRead, 0, kOpenExisting, kitHandle, 0x80);
  if (rc != kOk) return rc;
  HandleGuard kitGuard(kitHandle);
  FileHandle imageHandle = kNoFileHandle;
  rc = OpenFileHandle(imagePath, kAccessWrite, 0, kCreateKeepContent, imageHandle, 0x80);
  if (rc != kOk) return rc;
  HandleGuard imageGuard(imageHandle);

  const std::int64_t kitSize = SeekFile(kitHandle, 0, SeekOrigin::kEnd);
  if (kitSize < 0) return LastError() != kOk ? LastError() : kErrInvalidParameter;
  if (static_cast<std::uint64_t>(kitSize) >= k4GiB) return kErrInvalidData;

  InflateStream stream;
  if (!stream.ok()) return kErrInvalidParameter;
  std::vector<unsigned char> out(kKitWindowSize);
  std::uint64_t imageBytes = 0;
  bool ended = false;
  for (std::int64_t offset = 0; offset < kitSize && !ended && rc == kOk; offset += kKitWindowSize) {
    const std::uint32_t length = static_cast<std::uint32_t>(
        kitSize - offset < kKitWindowSize ? kitSize - offset : kKitWindowSize);
    // MAP_POPULATE reads the whole window in one go instead of one fault per page.
    void* window = mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, kitHandle, offset);
    if (window == MAP_FAILED) {
      rc = kErrInvalidParameter;
      break;
    }
    rc = InflateWindow(stream.z(), static_cast<const unsigned char*>(window), length, imageHandle,
                       out.data(), imageBytes, ended);
    munmap(window, length);
  }
  if (rc == kOk && kitSize != 0 && !ended) rc = kErrInvalidData;
  if (rc == kOk) rc = TruncateHere(imageHandle);
  const ResultCode closeRc = imageGuard.Close();
  if (rc == kOk) rc = closeRc;
  return rc;
}

}  // namespace veskp8
