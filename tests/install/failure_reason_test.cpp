// Progress by bytes and entries, and the reason a failed run gives: real
// faults (a directory in the way, a read-only and a full file system, no
// permission) and the sentence each becomes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "install/engine_test_support.h"
#include "install/failure_reason.h"
#include "install/progress_meter.h"

namespace veskp8::test {
namespace {

TEST(ProgressMeter, CountsBytesAndEntriesTogether) {
  // Equal sizes: the entry count alone decides, i * 100 / N.
  ProgressMeter equal({7, 7, 7});
  for (std::size_t i = 0; i < 3; ++i) {
    equal.StartEntry(i);
    EXPECT_EQ(equal.Percent(), static_cast<int>(i * 100 / 3));
  }
  // One large file first: its bytes move the bar while it is copied.
  std::vector<std::uint32_t> sizes = {300u << 20};
  sizes.resize(1001, 100);
  ProgressMeter large(sizes);
  large.StartEntry(0);
  EXPECT_EQ(large.Percent(), 0);
  large.AddBytes(150u << 20);
  EXPECT_EQ(large.Percent(), 41);  // 150 MiB of 300 MiB + 1001 entry costs (~62.6 MiB)
  large.AddBytes(1u << 30);        // never beyond its own entry
  EXPECT_EQ(large.Percent(), 82);
  // Many small files move it too, and it stays below 100 until the end.
  large.StartEntry(500);
  EXPECT_EQ(large.Percent(), 91);
  large.StartEntry(1000);
  large.AddBytes(100);
  EXPECT_EQ(large.Percent(), 99);
  EXPECT_EQ(ProgressMeter(std::vector<std::uint32_t>{}).Percent(), 0);
}

TEST(FailureReason, EveryErrorHasASentence) {
  EXPECT_EQ(FailureReasonId(0), nullptr);
  EXPECT_TRUE(FailureReasonText(0).empty());
  EXPECT_EQ(FailureReasonText(EXDEV), WideString(u"System error 18."));
  EXPECT_EQ(FailureDetail(u"/t/a", EROFS), WideString(u"/t/a\nThe file system is read-only."));
  EXPECT_EQ(FailureDetail(u"/t/a", 0), WideString(u"/t/a"));
  ProgressStatus status;
  status.text = u"Installation error";
  EXPECT_EQ(FailureBoxText(status, FailureDetail(u"/t/a", EACCES)),
            WideString(u"Installation error\n/t/a\nPermission denied."));
}

class FailureReasonRun : public ScratchTemplateTest {
 protected:
  // Runs a kit of `entries` into `target`; the run's errno and destination.
  int Run(const std::vector<EntrySpec>& entries, const std::string& target,
          WideString* destination = nullptr) {
    auto kit = OpenTestKit(m_base / "kit.efd", entries);
    if (!kit) return -1;
    ProgressChannel channel;
    channel.Start(kit.get(), Wide(target));
    InstallJobOptions options;
    options.pauseMilliseconds = 0;
    InstallEngine engine(options);
    if (engine.RunJob(channel) == kOk) return 0;
    if (destination != nullptr) *destination = engine.failedDestination();
    return engine.failedError();
  }
};

TEST_F(FailureReasonRun, RealFaultsGiveTheSystemsReason) {
  // A directory where a file goes.
  ASSERT_EQ(mkdir((m_t + "/b.txt").c_str(), 0755), 0);
  WideString where;
  EXPECT_EQ(Run({{"a.txt", "a"}, {"b.txt", "b"}}, m_t, &where), EISDIR);
  EXPECT_EQ(where, Wide(m_t + "/b.txt"));

  // A file system that is full, and one mounted read-only.
  SmallFileSystem small(m_base / "small");
  if (!small.mounted()) GTEST_SKIP() << "cannot mount a tmpfs: " << small.error();
  EXPECT_EQ(Run({{"big.bin", std::string(2 << 20, 'x')}}, m_base / "small/t"), ENOSPC);
  SmallFileSystem readOnly(m_base / "ro", "size=1m,mode=0755");
  ASSERT_TRUE(readOnly.mounted());
  ASSERT_EQ(mount(nullptr, (m_base / "ro").c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
  EXPECT_EQ(Run({{"a.txt", "a"}}, m_base / "ro/t"), EROFS);

  // A template directory that the user may not write (root's, run as nobody).
  chmod(m_base.path().c_str(), 0755);
  chmod(m_tmp.c_str(), 0777);
  ASSERT_EQ(mkdir((m_base / "roots").c_str(), 0755), 0);
  const std::vector<EntrySpec> entries = {{"a.txt", "a"}};
  ASSERT_TRUE(WriteKit(m_base / "kit.efd", entries));
  chmod((m_base / "kit.efd").c_str(), 0644);
  const std::string target = m_base / "roots/t";
  const int asNobody = RunAsNobody([&] {
    KitArchive kit;
    if (OpenKit(kit, Wide(m_base / "kit.efd")) != 0) return 200;
    ProgressChannel channel;
    channel.Start(&kit, Wide(target));
    InstallJobOptions options;
    options.pauseMilliseconds = 0;
    InstallEngine engine(options);
    return engine.RunJob(channel) == kOk ? 0 : engine.failedError();
  });
  EXPECT_EQ(asNobody, EACCES);
}

}  // namespace
}  // namespace veskp8::test
