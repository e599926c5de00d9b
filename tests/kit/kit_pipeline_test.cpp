// A kit opened the installer's way (OpenKitInBackground): the tables are read
// while the rest still inflates on the kit's own thread; every entry's bytes
// can be waited for in any order (entries that point backwards or share
// bytes included); a stream damaged after the tables is reported to every
// waiter and by CompleteKit; a stop ends waiting and inflating; closing the
// kit at any moment joins the thread and leaves no image behind.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "kit/kit_archive.h"
#include "kit/kit_test_support.h"

namespace veskp8::testing {
namespace {

// Several MiB of text (compressible, so damage to it is detected) behind
// small entries; entry 3 shares entry 0's bytes, entry 4 points back into
// the middle of the large one.
struct PipelineKit {
  std::string data;
  std::vector<KitEntry> entries;
  Bytes image;
  Bytes kit;
};

PipelineKit MakePipelineKit() {
  PipelineKit k;
  std::mt19937 rng(11);
  const std::string words = "ledger invoice payment template catalogue account ";
  k.data = "first entry\n";
  std::string large(6u << 20, '\0');
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = words[(i * 7 + rng() % 5) % words.size()];
  const std::uint32_t largeAt = static_cast<std::uint32_t>(k.data.size());
  k.data += large;
  k.entries = {Entry(u"a.txt", 1, 0, 12), Entry(u"large.txt", 1, largeAt, 6u << 20),
               Entry(u"empty", 1, 0, 0), Entry(u"shared.txt", 1, 0, 12),
               Entry(u"back\\middle.txt", 1, largeAt + (3u << 20), 1000)};
  k.image = MakeImage(1, {Description(u"en", u"P", u"V", u"")}, k.entries, k.data);
  k.kit = DeflateRaw(k.image, 6);
  return k;
}

class KitPipelineTest : public KitTest {
 protected:
  ResultCode OpenInBackground(KitArchive& kit, const Bytes& bytes,
                              const std::atomic<bool>* stop = nullptr) {
    const int fd = open(WriteKit(bytes).c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0);
    const ResultCode rc = OpenKitInBackground(kit, fd, stop);
    close(fd);  // the inflation has its own descriptor
    return rc;
  }
};

TEST_F(KitPipelineTest, EntriesAreReadableInAnyOrderWhileTheKitInflates) {
  const PipelineKit k = MakePipelineKit();
  KitArchive kit;
  ASSERT_EQ(OpenInBackground(kit, k.kit), kOk);
  ASSERT_EQ(kit.entries().size(), k.entries.size());
  // Backwards first, then the rest, from two threads at once.
  const std::vector<std::size_t> orders[] = {{4, 3, 2, 1, 0}, {0, 1, 2, 3, 4}};
  std::vector<std::thread> readers;
  for (const auto& order : orders) {
    readers.emplace_back([&, order] {
      for (const std::size_t i : order) {
        const KitEntry& e = kit.entries()[i];
        ASSERT_EQ(WaitForKitBytes(kit, std::uint64_t{e.dataOffset} + e.dataSize), kOk) << i;
        const std::size_t relative = e.dataOffset - (kit.entries()[0].dataOffset);
        EXPECT_EQ(ImageBytes(kit, e.dataOffset, e.dataSize), k.data.substr(relative, e.dataSize))
            << i;
      }
    });
  }
  for (std::thread& t : readers) t.join();
  EXPECT_EQ(CompleteKit(kit), kOk);
  EXPECT_EQ(kit.imageSize(), k.image.size());
  EXPECT_TRUE(InflationProgress(kit).ended);
  ExpectKitConsistent(kit);
}

TEST_F(KitPipelineTest, DamageAfterTheTablesReachesEveryWaiter) {
  const PipelineKit k = MakePipelineKit();
  // Damage at each of several places of the stream past its first MiB of
  // image; each must fail the same way for the waiters and for CompleteKit.
  int checked = 0;
  for (const double at : {0.3, 0.5, 0.7, 0.9}) {
    Bytes damaged = k.kit;
    const std::size_t from = static_cast<std::size_t>(damaged.size() * at);
    for (std::size_t i = from; i < from + 2048 && i < damaged.size(); ++i) damaged[i] ^= 0xa5;
    KitArchive kit;
    const ResultCode opened = OpenInBackground(kit, damaged);
    if (opened != kOk) continue;  // the damage was found while the tables were read
    const KitEntry& last = kit.entries()[1];
    const ResultCode waited = WaitForKitBytes(kit, std::uint64_t{last.dataOffset} + last.dataSize);
    const ResultCode complete = CompleteKit(kit);
    EXPECT_NE(complete, kOk) << at;
    if (waited != kOk) {
      EXPECT_EQ(waited, complete) << at;
    }
    EXPECT_EQ(CompleteKit(kit), complete) << "the verdict stays";
    ++checked;
  }
  EXPECT_GT(checked, 0);
  // A stream cut short after the tables: the image ends before the data.
  KitArchive cut;
  ASSERT_EQ(OpenInBackground(cut, Bytes(k.kit.begin(), k.kit.begin() + k.kit.size() / 2)), kOk);
  EXPECT_EQ(WaitForKitBytes(cut, std::uint64_t{cut.entries()[1].dataOffset} + (6u << 20)),
            kErrInvalidData);
  EXPECT_EQ(CompleteKit(cut), kErrInvalidData);
  // Tables that point past the image: found once the image is complete.
  std::vector<KitEntry> beyond = k.entries;
  beyond[2].dataOffset = static_cast<std::uint32_t>(k.data.size());
  beyond[2].dataSize = 1;
  KitArchive past;
  ASSERT_EQ(OpenInBackground(past, DeflateRaw(MakeImage(1, {}, beyond, k.data))), kOk);
  EXPECT_EQ(CompleteKit(past), kErrInvalidData);
}

TEST_F(KitPipelineTest, StopAndCloseAtAnyMomentLeaveNothing) {
  const PipelineKit k = MakePipelineKit();
  // Closed at once, after a few milliseconds, and after the end.
  for (const int ms : {0, 2, 10, 1000}) {
    {
      KitArchive kit;
      ASSERT_EQ(OpenInBackground(kit, k.kit), kOk);
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      CloseKit(kit);
      EXPECT_EQ(kit.imageHandle(), -1);
      EXPECT_TRUE(InflationProgress(kit).ended);
    }
    EXPECT_TRUE(Images().empty());
  }
  // The stop flag ends the inflation, and a waiter that looks at it.
  std::atomic<bool> stop{false};
  KitArchive kit;
  ASSERT_EQ(OpenInBackground(kit, k.kit, &stop), kOk);
  std::thread stopper([&] { stop = true; });
  const ResultCode waited = WaitForKitBytes(kit, k.image.size(), &stop);
  stopper.join();
  EXPECT_TRUE(waited == kOk || waited == kErrCancelled) << waited;
  const ResultCode complete = CompleteKit(kit, &stop);
  EXPECT_TRUE(complete == kOk || complete == kErrCancelled) << complete;
  stop = false;
  EXPECT_TRUE(CompleteKit(kit) == kOk || CompleteKit(kit) == kErrCancelled);
}

}  // namespace
}  // namespace veskp8::testing
