#include "kit/kit_archive.h"

#include <cstring>
#include <utility>

#include "install/file_handle.h"
#include "install/file_system.h"
#include "install/file_system_native.h"
#include "kit/kit_inflate.h"

namespace veskp8 {
namespace {

constexpr std::uint64_t k4GiB = std::uint64_t{1} << 32;
// Smallest entry record: length, name length, time, offset and size.
constexpr std::uint32_t kMinEntryRecord = 24;

// Sequential reader over the open image with bounds known in advance: every
// read is checked against the image size before it is made, so a damaged
// length never causes a large allocation or a read past the end.
class ImageReader {
 public:
  ImageReader(FileHandle handle, std::uint64_t size) : m_handle(handle), m_size(size) {}

  std::uint64_t position() const { return m_position; }
  std::uint64_t remaining() const { return m_size - m_position; }

  ResultCode Read(void* destination, std::uint64_t count) {
    if (count > remaining()) return kErrInvalidData;
    unsigned char* out = static_cast<unsigned char*>(destination);
    while (count != 0) {
      if (m_bufferPos == m_bufferLen) {
        const ResultCode rc = Fill();
        if (rc != kOk) return rc;
      }
      std::size_t n = m_bufferLen - m_bufferPos;
      if (n > count) n = static_cast<std::size_t>(count);
      std::memcpy(out, m_buffer + m_bufferPos, n);
      out += n;
      count -= n;
      m_bufferPos += n;
      m_position += n;
    }
    return kOk;
  }

  ResultCode ReadU32(std::uint32_t& value) {
    unsigned char b[4];
    const ResultCode rc = Read(b, 4);
    if (rc == kOk) {
      value = std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
              std::uint32_t{b[3]} << 24;
    }
    return rc;
  }

  ResultCode ReadU64(std::uint64_t& value) {
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    ResultCode rc = ReadU32(low);
    if (rc == kOk) rc = ReadU32(high);
    if (rc == kOk) value = std::uint64_t{high} << 32 | low;
    return rc;
  }

  // n UTF-16LE units into `out`.
  ResultCode ReadUnits(std::uint32_t n, WideString& out) {
    out.clear();
    if (2 * std::uint64_t{n} > remaining()) return kErrInvalidData;
    if (n == 0) return kOk;
    out.resize(n);
    char16_t* units = out.mutable_data();
    unsigned char chunk[4096];
    std::uint32_t done = 0;
    while (done < n) {
      const std::uint32_t take = n - done < sizeof(chunk) / 2 ? n - done : sizeof(chunk) / 2;
      const ResultCode rc = Read(chunk, 2 * take);
      if (rc != kOk) return rc;
      for (std::uint32_t i = 0; i < take; ++i) {
        units[done + i] = static_cast<char16_t>(chunk[2 * i] | chunk[2 * i + 1] << 8);
      }
      done += take;
    }
    return kOk;
  }

  // Moves forward to `position` (not before the current one, not past the end).
  void SkipTo(std::uint64_t position) {
    const std::uint64_t skip = position - m_position;
    const std::size_t buffered = m_bufferLen - m_bufferPos;
    if (skip <= buffered) {
      m_bufferPos += static_cast<std::size_t>(skip);
    } else {
      m_bufferPos = m_bufferLen = 0;
      m_needSeek = true;
    }
    m_position = position;
  }

 private:
  ResultCode Fill() {
    if (m_needSeek) {
      if (SeekFile(m_handle, static_cast<std::int64_t>(m_position), SeekOrigin::kBegin) < 0) {
        return LastError() != kOk ? LastError() : kErrInvalidHandle;
      }
      m_needSeek = false;
    }
    std::uint64_t want = remaining();
    if (want > sizeof(m_buffer)) want = sizeof(m_buffer);
    std::size_t got = 0;
    const ResultCode rc = ReadFully(m_handle, m_buffer, static_cast<std::size_t>(want), &got);
    if (rc != kOk) return rc;
    // The image is shorter than it was when its size was taken.
    if (got == 0) return kErrInvalidData;
    m_bufferPos = 0;
    m_bufferLen = got;
    return kOk;
  }

  FileHandle m_handle;
  std::uint64_t m_size;
  std::uint64_t m_position = 0;
  bool m_needSeek = false;
  std::size_t m_bufferPos = 0;
  std::size_t m_bufferLen = 0;
  unsigned char m_buffer[65536];
};

// A counted string that must end by `end` (an absolute image position).
ResultCode ReadCounted(ImageReader& in, std::uint64_t end, WideString& out) {
  if (end < in.position() || end - in.position() < 4) return kErrInvalidData;
  std::uint32_t n = 0;
  ResultCode rc = in.ReadU32(n);
  if (rc != kOk) return rc;
  if (2 * std::uint64_t{n} > end - in.position()) return kErrInvalidData;
  return in.ReadUnits(n, out);
}

// Reads a record length and answers the position where the record ends.
ResultCode ReadRecordLength(ImageReader& in, std::uint32_t minimum, std::uint64_t& end) {
  std::uint32_t length = 0;
  const ResultCode rc = in.ReadU32(length);
  if (rc != kOk) return rc;
  if (length < minimum || length - 4 > in.remaining()) return kErrInvalidData;
  end = in.position() + (length - 4);
  return kOk;
}

ResultCode ReadDescriptions(ImageReader& in, std::vector<KitDescription>& out) {
  std::uint32_t format = 0;
  ResultCode rc = in.ReadU32(format);
  if (rc != kOk) return rc;
  if (format == 0) {
    KitDescription d;
    d.language = WideString(u"en");
    const std::uint64_t end = in.position() + in.remaining();
    if ((rc = ReadCounted(in, end, d.product)) != kOk) return rc;
    if ((rc = ReadCounted(in, end, d.vendor)) != kOk) return rc;
    if ((rc = ReadCounted(in, end, d.document)) != kOk) return rc;
    out.push_back(std::move(d));
    return kOk;
  }
  std::uint32_t count = 0;
  if ((rc = in.ReadU32(count)) != kOk) return rc;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint64_t end = 0;
    if ((rc = ReadRecordLength(in, 4, end)) != kOk) return rc;
    KitDescription d;
    if ((rc = ReadCounted(in, end, d.language)) != kOk) return rc;
    if ((rc = ReadCounted(in, end, d.product)) != kOk) return rc;
    if ((rc = ReadCounted(in, end, d.vendor)) != kOk) return rc;
    if ((rc = ReadCounted(in, end, d.document)) != kOk) return rc;
    in.SkipTo(end);
    out.push_back(std::move(d));
  }
  return kOk;
}

ResultCode ReadEntries(ImageReader& in, std::vector<KitEntry>& out) {
  std::uint32_t count = 0;
  ResultCode rc = in.ReadU32(count);
  if (rc != kOk) return rc;
  // Every record takes at least 24 bytes: a damaged count cannot reserve more
  // than the image could hold.
  const std::uint64_t possible = in.remaining() / kMinEntryRecord;
  out.reserve(count < possible ? count : static_cast<std::size_t>(possible));
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint64_t end = 0;
    if ((rc = ReadRecordLength(in, kMinEntryRecord, end)) != kOk) return rc;
    KitEntry e;
    std::uint32_t n = 0;
    if ((rc = in.ReadU32(n)) != kOk) return rc;
    if (2 * std::uint64_t{n} + 16 > end - in.position()) return kErrInvalidData;
    if ((rc = in.ReadUnits(n, e.name)) != kOk) return rc;
    if ((rc = in.ReadU64(e.modificationTime)) != kOk) return rc;
    if ((rc = in.ReadU32(e.dataOffset)) != kOk) return rc;
    if ((rc = in.ReadU32(e.dataSize)) != kOk) return rc;
    if (!IsSafeEntryName(e.name)) return kErrInvalidData;
    in.SkipTo(end);
    out.push_back(std::move(e));
  }
  return kOk;
}

}  // namespace

KitArchive::KitArchive() : m_copyBuffer(new unsigned char[kCopyBufferSize]) {}

KitArchive::~KitArchive() { CloseKit(*this); }

void CloseKit(KitArchive& kit) {
  if (kit.m_imageHandle != kNoFileHandle) {
    (void)CloseFile(kit.m_imageHandle);
    kit.m_imageHandle = kNoFileHandle;
  }
  if (!kit.m_imagePath.empty()) {
    // unlink(2) rather than an external rm: removing the image must not
    // depend on a program that might fail to start.
    (void)RemoveFileNoFollow(kit.m_imagePath);
    kit.m_imagePath.clear();
  }
}

ResultCode ReadKitTables(KitArchive& kit, int imageHandle) {
  kit.m_descriptions.clear();
  kit.m_entries.clear();
  kit.m_imageSize = 0;
  const std::int64_t size = SeekFile(imageHandle, 0, SeekOrigin::kEnd);
  if (size < 0) return LastError() != kOk ? LastError() : kErrInvalidHandle;
  if (static_cast<std::uint64_t>(size) >= k4GiB) return kErrInvalidData;
  if (SeekFile(imageHandle, 0, SeekOrigin::kBegin) < 0) {
    return LastError() != kOk ? LastError() : kErrInvalidHandle;
  }
  ImageReader in(imageHandle, static_cast<std::uint64_t>(size));
  ResultCode rc = ReadDescriptions(in, kit.m_descriptions);
  if (rc == kOk) rc = ReadEntries(in, kit.m_entries);
  if (rc == kOk) {
    const std::uint64_t dataStart = in.position();
    for (KitEntry& e : kit.m_entries) {
      const std::uint64_t begin = dataStart + e.dataOffset;
      if (begin + e.dataSize > static_cast<std::uint64_t>(size)) {
        rc = kErrInvalidData;
        break;
      }
      e.dataOffset = static_cast<std::uint32_t>(begin);
    }
  }
  if (rc != kOk) {
    kit.m_entries.clear();
    return rc;
  }
  kit.m_imageSize = static_cast<std::uint32_t>(size);
  return kOk;
}

ResultCode LoadKitImage(KitArchive& kit, const WideString& imagePath) {
  if (kit.m_imagePath != imagePath) CloseKit(kit);  // releases an earlier image
  if (kit.m_imageHandle != kNoFileHandle) {
    (void)CloseFile(kit.m_imageHandle);
    kit.m_imageHandle = kNoFileHandle;
  }
  kit.m_imagePath = imagePath;
  FileHandle handle = kNoFileHandle;
  const ResultCode rc =
      OpenFileHandle(kit.m_imagePath, kAccessReadWrite, 0, kOpenExisting, handle, 0x80);
  if (rc != kOk) return rc;
  kit.m_imageHandle = handle;
  return ReadKitTables(kit, handle);
}

ResultCode OpenKit(KitArchive& kit, const WideString& kitPath) {
  // A kit object is opened once; a second open starts from a closed kit.
  CloseKit(kit);
  kit.m_entries.clear();
  WideString name;
  ResultCode rc = CreateTempFile(GetTempDirectory(), WideString(u"edf"), name);
  // Only a file this call created is ours to remove later.
  if (rc == kOk) {
    kit.m_imagePath = name;
    rc = InflateKit(kitPath, kit.m_imagePath);
  }
  if (rc == kOk) rc = LoadKitImage(kit, name);
  if (rc != kOk) {
    kit.m_entries.clear();
    CloseKit(kit);
  }
  return rc;
}

}  // namespace veskp8
