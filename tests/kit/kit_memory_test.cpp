// What opening a kit costs in memory, measured: this program replaces the
// global operator new and delete with counting ones (live bytes, peak, and an
// optional limit that throws std::bad_alloc like an exhausted heap).
#include <cstdlib>
#include <new>

#include "install/install_engine.h"
#include "install/progress_channel.h"
#include "kit_test_support.h"

namespace {

struct Counter {
  std::atomic<bool> on{false};
  std::atomic<long long> live{0};
  std::atomic<long long> peak{0};
  std::atomic<long long> limit{-1};
  // The counted allocation that fails (1 = the first), -1 for none.
  std::atomic<long long> failAt{-1};
  std::atomic<long long> count{0};
};
Counter g_counter;

// Header before each block: the size, and whether it was counted.
constexpr std::size_t kHeader = 16;

void* Allocate(std::size_t n) {
  bool counted = g_counter.on.load();
  if (counted) {
    const long long now = g_counter.live += static_cast<long long>(n);
    const long long limit = g_counter.limit.load();
    if ((limit >= 0 && now > limit) || ++g_counter.count == g_counter.failAt.load()) {
      g_counter.live -= static_cast<long long>(n);
      return nullptr;
    }
    long long peak = g_counter.peak.load();
    while (now > peak && !g_counter.peak.compare_exchange_weak(peak, now)) {
    }
  }
  auto* block = static_cast<unsigned char*>(std::malloc(n + kHeader));
  if (block == nullptr) {
    if (counted) g_counter.live -= static_cast<long long>(n);
    return nullptr;
  }
  reinterpret_cast<std::size_t*>(block)[0] = n;
  reinterpret_cast<std::size_t*>(block)[1] = counted ? 1 : 0;
  return block + kHeader;
}

void Release(void* p) noexcept {
  if (p == nullptr) return;
  auto* block = static_cast<unsigned char*>(p) - kHeader;
  if (reinterpret_cast<std::size_t*>(block)[1] != 0) {
    g_counter.live -= static_cast<long long>(reinterpret_cast<std::size_t*>(block)[0]);
  }
  std::free(block);
}

}  // namespace

void* operator new(std::size_t n) {
  if (void* p = Allocate(n)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }

namespace veskp8::testing {
namespace {

// Counts the allocations made by `body`: the peak of live bytes above the
// level at the start, with `limit` bytes (or none, -1) allowed on top.
template <typename Body>
long long PeakOf(Body body, long long limit = -1, long long failAt = -1) {
  g_counter.live = 0;
  g_counter.peak = 0;
  g_counter.count = 0;
  g_counter.limit = limit;
  g_counter.failAt = failAt;
  g_counter.on = true;
  body();
  g_counter.on = false;
  g_counter.limit = -1;
  g_counter.failAt = -1;
  return g_counter.peak.load();
}

using KitMemoryTest = KitTest;

// 20 000 entries with names from 1 to 400 units, three descriptions.
void MakeTables(std::vector<KitDescription>& descriptions, std::vector<KitEntry>& entries) {
  descriptions = {Description(u"en", u"A product with a long enough name", u"Vendor", u"doc"),
                  Description(u"ru", u"Продукт", u"Поставщик с длинным названием", u"")};
  for (std::uint32_t i = 0; i < 20000; ++i) {
    std::u16string name = u"d" + std::u16string(i % 7, u'x') + u"\\f";
    name += std::u16string(i % 400, u'n');
    for (std::uint32_t v = i; v != 0; v /= 10) name += static_cast<char16_t>(u'0' + v % 10);
    entries.push_back(Entry(name.c_str(), 0, 0, 0));
  }
}

TEST_F(KitMemoryTest, TheCostOfTheTablesBoundsWhatOpeningTakes) {
  std::vector<KitDescription> descriptions;
  std::vector<KitEntry> entries;
  MakeTables(descriptions, entries);
  const std::uint64_t cost = KitTablesCost(descriptions, entries);
  const std::string kitPath = WriteKit(DeflateRaw(MakeImage(1, descriptions, entries, "")));
  entries.clear();
  KitArchive kit;
  const long long peak = PeakOf([&] { ASSERT_EQ(OpenKit(kit, LocaleToWide(kitPath.c_str())), kOk); });
  ASSERT_EQ(kit.entries().size(), 20000u);
  // Besides the tables: the inflate buffers, zlib's state and the reader's
  // buffer, well below 512 KiB.
  EXPECT_LE(peak, static_cast<long long>(cost) + (512 << 10));
  EXPECT_GE(peak, static_cast<long long>(cost) / 3) << "the cost is not far off either";
  // A real kit of 200 000 files with names of 260 units takes about half.
  EXPECT_LE(200000 * (kKitEntryCost + KitStringCost(260)), kKitTableBudget / 10 * 6);
}

// Kit bytes of `head` followed by `zeros` zero bytes, deflated as a stream.
Bytes HeadAndZeros(const Bytes& head, std::uint64_t zeros) {
  Bytes kit;
  RawDeflater deflater([&kit](const unsigned char* p, std::size_t n) {
    kit.insert(kit.end(), p, p + n);
    return true;
  });
  EXPECT_TRUE(deflater.Write(head.data(), head.size()));
  const Bytes block(1 << 20, 0);
  for (; zeros != 0; zeros -= std::min<std::uint64_t>(zeros, block.size())) {
    EXPECT_TRUE(deflater.Write(block.data(), std::min<std::uint64_t>(zeros, block.size())));
  }
  EXPECT_TRUE(deflater.Finish());
  return kit;
}

TEST_F(KitMemoryTest, RefusedBombsAllocateNothingForTheirTables) {
  // 10 000 000 empty 20-byte descriptions (the 200 MB image of the report,
  // cut short: the count is refused before the records are read).
  Bytes descriptions = {1, 0, 0, 0, 0x80, 0x96, 0x98, 0};
  for (int i = 0; i < 1000; ++i) {
    descriptions.insert(descriptions.end(), {20, 0, 0, 0});
    descriptions.resize(descriptions.size() + 16);
  }
  // 5 000 000 entries claimed and room for their records in the image: the
  // records would cost 56 bytes each in memory, more than the budget.
  const std::uint32_t n = 5000000;
  const Bytes entries = {1, 0, 0, 0, 0, 0, 0, 0, static_cast<unsigned char>(n),
                         static_cast<unsigned char>(n >> 8), static_cast<unsigned char>(n >> 16),
                         static_cast<unsigned char>(n >> 24)};
  for (const Bytes& kitBytes : {DeflateRaw(descriptions), HeadAndZeros(entries, 24ull * n)}) {
    const std::string kitPath = WriteKit(kitBytes);
    KitArchive kit;
    const long long peak =
        PeakOf([&] { EXPECT_EQ(OpenKit(kit, LocaleToWide(kitPath.c_str())), kErrInvalidData); });
    // Beyond the inflation's fixed buffers (its input window and the 1 MiB
    // it writes to the image at a time), nothing of the size of the tables.
    EXPECT_LT(peak, (512 << 10) + kKitWindowSize + kKitImageWriteSize);
  }
}

TEST_F(KitMemoryTest, AnAllocationFailureEndsTheOpenCleanly) {
  std::vector<KitDescription> descriptions;
  std::vector<KitEntry> entries;
  MakeTables(descriptions, entries);
  const std::string kitPath = WriteKit(DeflateRaw(MakeImage(1, descriptions, entries, "")));
  entries.clear();
  long long needed = 0;
  {
    KitArchive kit;
    needed = PeakOf([&] { ASSERT_EQ(OpenKit(kit, LocaleToWide(kitPath.c_str())), kOk); });
  }
  const std::size_t openFiles = FilesWithPrefix("/proc/self/fd", "").size();
  // Failing early (the buffers), in the middle of the tables and near their end.
  for (const long long limit : {10000LL, needed / 2, needed - 1000}) {
    KitArchive kit;
    ResultCode rc = kOk;
    const long long peak =
        PeakOf([&] { rc = OpenKit(kit, LocaleToWide(kitPath.c_str())); }, limit);
    EXPECT_EQ(rc, kErrOutOfMemory) << limit;
    EXPECT_LE(peak, limit);
    EXPECT_EQ(kit.imageHandle(), -1);
    EXPECT_TRUE(kit.entries().empty());
    EXPECT_TRUE(kit.descriptions().empty());
    EXPECT_EQ(kit.entries().capacity(), 0u) << "memory given back";
    EXPECT_EQ(FilesWithPrefix("/proc/self/fd", "").size(), openFiles) << "image closed";
    EXPECT_TRUE(Images().empty());
  }
  KitArchive kit;
  EXPECT_EQ(OpenKit(kit, LocaleToWide(kitPath.c_str())), kOk) << "and without a limit it opens";
}

TEST_F(KitMemoryTest, AnAllocationFailureWhileInstallingRollsBack) {
  // 300 files, each replacing an older one in the target.
  std::vector<KitEntry> entries;
  std::string data;
  for (std::uint32_t i = 0; i < 300; ++i) {
    const std::string name = "dir" + std::to_string(i % 10) + "/file-" + std::to_string(i);
    entries.push_back(Entry(LocaleToWide(name.c_str()).c_str(), 133000000000000000ull,
                            static_cast<std::uint32_t>(data.size()), 4));
    data += "new!";
  }
  const std::string kitPath = WriteKit(DeflateRaw(MakeImage(1, {}, entries, data)));
  const std::string target = dir_ + "/target/";
  ASSERT_EQ(mkdir(target.c_str(), 0700), 0);
  for (int d = 0; d < 10; ++d) ASSERT_EQ(mkdir((target + "dir" + std::to_string(d)).c_str(), 0700), 0);
  for (std::uint32_t i = 0; i < 300; ++i) {
    const std::string path = target + "dir" + std::to_string(i % 10) + "/file-" + std::to_string(i);
    WriteWholeFile(path, "old", 3);
    const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
  }
  KitArchive kit;
  ASSERT_EQ(OpenKit(kit, LocaleToWide(kitPath.c_str())), kOk);
  InstallJobOptions options;
  options.pauseMilliseconds = 0;
  // The n-th allocation of the job fails, for growing n, until one fails
  // after a part of the files was copied.
  for (long long n = 1;; n *= 2) {
    ProgressChannel channel;
    channel.Start(&kit, LocaleToWide(target.c_str()));
    InstallEngine engine(options);
    ResultCode rc = kOk;
    (void)PeakOf([&] { rc = engine.RunJob(channel); }, -1, n);
    const ProgressStatus status = channel.ReadStatus();
    ASSERT_NE(rc, kOk) << "the job never failed (" << n << ")";
    EXPECT_NE(status.code, 0);
    // Every failure rolls back: all 300 files old again.
    for (std::uint32_t i = 0; i < 300; i += 37) {
      const std::string path = target + "dir" + std::to_string(i % 10) + "/file-" + std::to_string(i);
      ASSERT_EQ(ReadWholeFile(path), "old") << path << " after a failure at " << status.percent;
    }
    if (status.percent >= 30) break;
  }
}

}  // namespace
}  // namespace veskp8::testing
