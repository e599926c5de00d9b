#include "kit/kit_archive.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>

#include "install/fs/file_handle.h"
#include "install/fs/file_system.h"
#include "kit/kit_image.h"
#include "kit/kit_inflate.h"
#include "text/conversion.h"
#include "text/string_ops.h"

namespace veskp8 {
namespace {

constexpr std::uint64_t k4GiB = std::uint64_t{1} << 32;
// Smallest entry record: length, name length, time, offset and size.
constexpr std::uint32_t kMinEntryRecord = 24;

// Sequential reader over the open image with bounds known in advance: every
// read is checked against the image size before it is made, so a damaged
// length never causes a large allocation or a read past the end.
//
// While the image is still being inflated (`inflation` not null) its size is
// not known yet: the bound is then 4 GiB, and every refill first waits until
// the image holds the byte wanted (a read past the image's final end is a
// damaged kit, as with a known size).
class ImageReader {
 public:
  ImageReader(FileHandle handle, std::uint64_t size, const KitImageInflation* inflation = nullptr,
              const std::atomic<bool>* stop = nullptr)
      : m_handle(handle), m_size(size), m_inflation(inflation), m_stop(stop) {}

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

  // Moves over n UTF-16 units without reading them.
  ResultCode SkipUnits(std::uint32_t n) {
    if (2 * std::uint64_t{n} > remaining()) return kErrInvalidData;
    SkipTo(m_position + 2 * std::uint64_t{n});
    return kOk;
  }

  // Back to the first byte of the image.
  void Rewind() {
    m_position = 0;
    m_bufferPos = m_bufferLen = 0;
    m_needSeek = true;
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
    if (m_inflation != nullptr) {
      const ResultCode ready = m_inflation->WaitFor(m_position + 1, m_stop);
      if (ready != kOk) return ready;
      const std::uint64_t available = m_inflation->progress().imageBytes - m_position;
      if (want > available) want = available;
    }
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
  const KitImageInflation* m_inflation;
  const std::atomic<bool>* m_stop;
  std::uint64_t m_position = 0;
  bool m_needSeek = false;
  std::size_t m_bufferPos = 0;
  std::size_t m_bufferLen = 0;
  unsigned char m_buffer[65536];
};

// A counted string that must end by `end` (an absolute image position). With
// a null `out` the units are skipped and only their cost is added to `cost`.
ResultCode ReadCounted(ImageReader& in, std::uint64_t end, WideString* out, std::uint64_t& cost) {
  if (end < in.position() || end - in.position() < 4) return kErrInvalidData;
  std::uint32_t n = 0;
  ResultCode rc = in.ReadU32(n);
  if (rc != kOk) return rc;
  if (2 * std::uint64_t{n} > end - in.position()) return kErrInvalidData;
  cost += KitStringCost(n);
  return out != nullptr ? in.ReadUnits(n, *out) : in.SkipUnits(n);
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

// The description table. With a null `out` (the weighing pass) nothing is
// stored: only the cost is added up. Either way the count is capped.
ResultCode ReadDescriptions(ImageReader& in, std::vector<KitDescription>* out,
                            std::uint64_t& cost) {
  std::uint32_t format = 0;
  ResultCode rc = in.ReadU32(format);
  if (rc != kOk) return rc;
  KitDescription d;
  const bool keep = out != nullptr;
  if (format == 0) {
    cost += kKitDescriptionCost;
    const std::uint64_t end = in.position() + in.remaining();
    if ((rc = ReadCounted(in, end, keep ? &d.product : nullptr, cost)) != kOk) return rc;
    if ((rc = ReadCounted(in, end, keep ? &d.vendor : nullptr, cost)) != kOk) return rc;
    if ((rc = ReadCounted(in, end, keep ? &d.document : nullptr, cost)) != kOk) return rc;
    if (keep) {
      d.language = WideString(u"en");
      out->push_back(std::move(d));
    }
    return kOk;
  }
  std::uint32_t count = 0;
  if ((rc = in.ReadU32(count)) != kOk) return rc;
  if (count > kMaxKitDescriptions) return kErrInvalidData;
  cost += std::uint64_t{count} * kKitDescriptionCost;
  if (keep) out->reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint64_t end = 0;
    if ((rc = ReadRecordLength(in, 4, end)) != kOk) return rc;
    if ((rc = ReadCounted(in, end, keep ? &d.language : nullptr, cost)) != kOk) return rc;
    if ((rc = ReadCounted(in, end, keep ? &d.product : nullptr, cost)) != kOk) return rc;
    if ((rc = ReadCounted(in, end, keep ? &d.vendor : nullptr, cost)) != kOk) return rc;
    if ((rc = ReadCounted(in, end, keep ? &d.document : nullptr, cost)) != kOk) return rc;
    in.SkipTo(end);
    if (cost > kKitTableBudget) return kErrInvalidData;
    if (keep) out->push_back(std::move(d));
  }
  return kOk;
}

// The entry table; with a null `out` only weighed, as ReadDescriptions.
ResultCode ReadEntries(ImageReader& in, std::vector<KitEntry>* out, std::uint64_t& cost) {
  std::uint32_t count = 0;
  ResultCode rc = in.ReadU32(count);
  if (rc != kOk) return rc;
  // Every record takes at least 24 bytes of the image.
  if (count > in.remaining() / kMinEntryRecord) return kErrInvalidData;
  cost += std::uint64_t{count} * kKitEntryCost;
  if (cost > kKitTableBudget) return kErrInvalidData;
  if (out != nullptr) out->reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint64_t end = 0;
    if ((rc = ReadRecordLength(in, kMinEntryRecord, end)) != kOk) return rc;
    std::uint32_t n = 0;
    if ((rc = in.ReadU32(n)) != kOk) return rc;
    if (2 * std::uint64_t{n} + 16 > end - in.position()) return kErrInvalidData;
    cost += KitStringCost(n);
    if (cost > kKitTableBudget) return kErrInvalidData;
    if (out == nullptr) {
      in.SkipTo(end);
      continue;
    }
    KitEntry e;
    if ((rc = in.ReadUnits(n, e.name)) != kOk) return rc;
    if ((rc = in.ReadU64(e.modificationTime)) != kOk) return rc;
    if ((rc = in.ReadU32(e.dataOffset)) != kOk) return rc;
    if ((rc = in.ReadU32(e.dataSize)) != kOk) return rc;
    if (!IsSafeEntryName(e.name)) return kErrInvalidData;
    in.SkipTo(end);
    out->push_back(std::move(e));
  }
  return kOk;
}

// 64-bit FNV-1a of the bytes.
std::uint64_t HashBytes(std::string_view bytes) {
  std::uint64_t h = 14695981039346656037ull;
  for (const char c : bytes) {
    h ^= static_cast<unsigned char>(c);
    h *= 1099511628211ull;
  }
  return h;
}

// Creates the image: unnamed when the file system can, else named and
// unlinked at once. `handle` is set before anything else can fail, so that
// the caller closes it on every path.
ResultCode CreateImage(FileHandle& handle, WideString& record) {
  const WideString directory = GetTempDirectory();
  NarrowString native;
  if (!WideToLocaleChecked(directory, native) ||
      directory.view().find(u'\0') != std::u16string_view::npos) {
    return kErrTempFile;
  }
#ifdef O_TMPFILE
  int fd = open(native.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) {
    handle = fd;
    record = directory;
    return kOk;
  }
#endif
  NarrowString name = native;
  name += "edfXXXXXX";
  fd = mkostemp(name.mutable_data(), O_CLOEXEC);
  if (fd < 0) return kErrTempFile;
  handle = fd;
  if (unlink(name.c_str()) != 0) return kErrTempFile;
  record = LocaleToWide(name);
  return kOk;
}

}  // namespace

std::uint64_t KitTablesCost(const std::vector<KitDescription>& descriptions,
                            const std::vector<KitEntry>& entries) {
  std::uint64_t cost = 0;
  for (const KitDescription& d : descriptions) {
    cost += kKitDescriptionCost + KitStringCost(d.language.size()) +
            KitStringCost(d.product.size()) + KitStringCost(d.vendor.size()) +
            KitStringCost(d.document.size());
  }
  for (const KitEntry& e : entries) cost += kKitEntryCost + KitStringCost(e.name.size());
  return cost;
}

bool EntryDestinationBytes(const WideString& name, NarrowString& out) {
  WideString destination = name;
  ReplaceAll(destination, ForeignSeparator(), PathSeparator());
  return WideToLocaleChecked(destination, out);
}

std::vector<std::pair<std::size_t, std::size_t>> FindClashingEntries(
    const std::vector<KitEntry>& entries) {
  std::vector<std::pair<std::size_t, std::size_t>> clashes;
  // Sorted by the hash of the destination; only entries whose hashes agree
  // are compared byte by byte (sorted within their run, so that even many
  // equal hashes cost n log n, not n squared).
  std::vector<std::pair<std::uint64_t, std::size_t>> keys;
  keys.reserve(entries.size());
  NarrowString bytes;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (EntryDestinationBytes(entries[i].name, bytes)) keys.emplace_back(HashBytes(bytes.view()), i);
  }
  std::sort(keys.begin(), keys.end());
  for (std::size_t first = 0; first < keys.size();) {
    std::size_t last = first + 1;
    while (last < keys.size() && keys[last].first == keys[first].first) ++last;
    if (last - first > 1) {
      std::vector<std::pair<NarrowString, std::size_t>> run;
      run.reserve(last - first);
      for (std::size_t k = first; k < last; ++k) {
        NarrowString b;
        (void)EntryDestinationBytes(entries[keys[k].second].name, b);
        run.emplace_back(std::move(b), keys[k].second);
      }
      std::sort(run.begin(), run.end(), [](const auto& a, const auto& b) {
        return a.first.view() != b.first.view() ? a.first.view() < b.first.view()
                                                : a.second < b.second;
      });
      // Each entry clashes with the earliest entry of its group of equals.
      std::size_t group = 0;
      for (std::size_t k = 1; k < run.size(); ++k) {
        if (run[k].first.view() != run[group].first.view()) {
          group = k;
        } else {
          clashes.emplace_back(run[group].second, run[k].second);
        }
      }
    }
    first = last;
  }
  std::sort(clashes.begin(), clashes.end(),
            [](const auto& a, const auto& b) { return a.second < b.second; });
  return clashes;
}

KitArchive::KitArchive()
    : m_copyBuffer(new unsigned char[kCopyBufferSize]), m_completeMutex(std::make_unique<std::mutex>()) {}

KitArchive::~KitArchive() { CloseKit(*this); }

void CloseKit(KitArchive& kit) {
  // The inflating thread writes into the image: it ends before the image goes.
  if (kit.m_inflation != nullptr) {
    kit.m_inflation->Cancel();
    kit.m_inflation.reset();
  }
  if (kit.m_imageHandle != kNoFileHandle) {
    // The image has no name: closing its last descriptor removes it.
    (void)CloseFile(kit.m_imageHandle);
    kit.m_imageHandle = kNoFileHandle;
  }
  kit.m_imagePath.clear();
}

void DiscardKit(KitArchive& kit) noexcept {
  CloseKit(kit);
  std::vector<KitEntry>().swap(kit.m_entries);
  std::vector<KitDescription>().swap(kit.m_descriptions);
}

namespace {

// The tables of the image on `imageHandle`. With `inflation`, the image is
// still growing: `size` is then only the 4 GiB bound, the table area is waited
// for, and the data ranges are checked by CompleteKit once it has ended.
ResultCode ReadTables(int imageHandle, std::uint64_t size,
                      const KitImageInflation* inflation, const std::atomic<bool>* stop,
                      std::vector<KitDescription>& descriptions, std::vector<KitEntry>& entries) {
  // The reader's buffer is large: keep it off the stack of small threads.
  auto in = std::make_unique<ImageReader>(imageHandle, size, inflation, stop);
  // First pass: weigh the tables without keeping anything.
  std::uint64_t cost = 0;
  ResultCode rc = ReadDescriptions(*in, nullptr, cost);
  if (rc == kOk) rc = ReadEntries(*in, nullptr, cost);
  if (rc != kOk) return rc;
  // Every byte of the tables is there before anything is kept of them.
  if (inflation != nullptr && (rc = inflation->WaitFor(in->position(), stop)) != kOk) return rc;
  // Second pass: the same checks again, now storing the records.
  in->Rewind();
  cost = 0;
  rc = ReadDescriptions(*in, &descriptions, cost);
  if (rc == kOk) rc = ReadEntries(*in, &entries, cost);
  if (rc == kOk) {
    const std::uint64_t dataStart = in->position();
    for (KitEntry& e : entries) {
      const std::uint64_t begin = dataStart + e.dataOffset;
      if (begin + e.dataSize > size) {
        rc = kErrInvalidData;
        break;
      }
      e.dataOffset = static_cast<std::uint32_t>(begin);
    }
  }
  // Two entries with one destination: the second would replace the first,
  // and a rollback could no longer give the user's original back.
  if (rc == kOk && !FindClashingEntries(entries).empty()) rc = kErrInvalidData;
  return rc;
}

}  // namespace

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
  const ResultCode rc = ReadTables(imageHandle, static_cast<std::uint64_t>(size), nullptr,
                                   nullptr, kit.m_descriptions, kit.m_entries);
  if (rc != kOk) {
    kit.m_entries.clear();
    return rc;
  }
  kit.m_imageSize = static_cast<std::uint32_t>(size);
  return kOk;
}

ResultCode OpenKitInBackground(KitArchive& kit, FileHandle kitHandle,
                               const std::atomic<bool>* stop) {
  CloseKit(kit);
  kit.m_entries.clear();
  kit.m_descriptions.clear();
  kit.m_imageSize = 0;
  ResultCode rc = kOk;
  try {
    rc = CreateImage(kit.m_imageHandle, kit.m_imagePath);
    if (rc == kOk) {
      kit.m_inflation = std::make_unique<KitImageInflation>();
      kit.m_completeResult = -1;
      rc = kit.m_inflation->Start(kitHandle, kit.m_imageHandle, stop);
    }
    if (rc == kOk) {
      rc = ReadTables(kit.m_imageHandle, k4GiB - 1, kit.m_inflation.get(), stop,
                      kit.m_descriptions, kit.m_entries);
    }
  } catch (const std::bad_alloc&) {
    rc = kErrOutOfMemory;
  }
  if (rc != kOk) DiscardKit(kit);
  return rc;
}

ResultCode CompleteKit(KitArchive& kit, const std::atomic<bool>* stop) {
  std::lock_guard<std::mutex> lock(*kit.m_completeMutex);
  if (kit.m_inflation == nullptr) return kit.m_imageHandle != kNoFileHandle ? kOk : kErrInvalidHandle;
  if (kit.m_completeResult >= 0) return kit.m_completeResult;
  ResultCode rc = kit.m_inflation->WaitUntilEnded(stop);
  if (rc == kErrCancelled && stop != nullptr && stop->load() &&
      !kit.m_inflation->progress().ended) {
    return rc;  // the waiter stopped; the inflation goes on
  }
  const std::uint64_t size = kit.m_inflation->progress().imageBytes;
  if (rc == kOk) {
    for (const KitEntry& e : kit.m_entries) {
      if (std::uint64_t{e.dataOffset} + e.dataSize > size) {
        rc = kErrInvalidData;
        break;
      }
    }
  }
  if (rc == kOk) kit.m_imageSize = static_cast<std::uint32_t>(size);
  kit.m_completeResult = rc;
  return rc;
}

ResultCode WaitForKitBytes(const KitArchive& kit, std::uint64_t end,
                           const std::atomic<bool>* stop) {
  const KitImageInflation* inflation = kit.m_inflation.get();
  return inflation == nullptr ? kOk : inflation->WaitFor(end, stop);
}

KitInflationProgress InflationProgress(const KitArchive& kit) {
  if (kit.m_inflation != nullptr) return kit.m_inflation->progress();
  KitInflationProgress done;
  done.ended = true;
  done.imageBytes = done.kitBytes = done.kitSize = kit.m_imageSize;
  return done;
}

ResultCode OpenKitHandle(KitArchive& kit, FileHandle kitHandle, const std::atomic<bool>* stop) {
  // A kit object is opened once; a second open starts from a closed kit.
  CloseKit(kit);
  kit.m_entries.clear();
  ResultCode rc = kOk;
  try {
    rc = CreateImage(kit.m_imageHandle, kit.m_imagePath);
    if (rc == kOk) rc = InflateKit(kitHandle, kit.m_imageHandle, stop);
    if (rc == kOk) rc = ReadKitTables(kit, kit.m_imageHandle);
  } catch (const std::bad_alloc&) {
    rc = kErrOutOfMemory;
  }
  // Give the memory back (not only the elements) for whatever follows.
  if (rc != kOk) DiscardKit(kit);
  return rc;
}

ResultCode OpenKit(KitArchive& kit, const WideString& kitPath, const std::atomic<bool>* stop) {
  FileHandle kitHandle = kNoFileHandle;
  ResultCode rc = kOk;
  try {
    rc = OpenKitFile(kitPath, kitHandle);
  } catch (const std::bad_alloc&) {
    rc = kErrOutOfMemory;
  }
  if (rc != kOk) {
    CloseKit(kit);
    kit.m_entries.clear();
    return rc;
  }
  rc = OpenKitHandle(kit, kitHandle, stop);
  (void)CloseFile(kitHandle);
  return rc;
}

}  // namespace veskp8
