// The progress channel and the worker thread with a real thread: statuses
// arrive in order and whole, the final status stays readable for a second,
// an error is visible only once the rollback is done, and the stop flag.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "install/engine_test_support.h"
#include "install/progress_channel.h"
#include "install/worker_thread.h"
#include "text/string_ops.h"

namespace veskp8::test {
namespace {

using Clock = std::chrono::steady_clock;

TEST(ProgressChannelTest, StartPreparesTheRun) {
  ProgressChannel channel;
  channel.Post(0, Wide("Preparing to copy..."), 0);
  KitArchive kit;
  const std::pair<const char*, const char*> targets[] = {
      {"/a/b", "/a/b/"}, {"/a/b/", "/a/b/"}, {"C:\\x\\", "C:\\x\\"}, {"", ""}};
  for (const auto& [given, stored] : targets) {
    channel.Post(5, Wide("old"), 70);
    channel.SetCancel(true);
    channel.Start(&kit, Wide(given));
    const ProgressJob job = channel.ReadJob();
    EXPECT_EQ(job.kit, &kit);
    EXPECT_EQ(Narrow(job.target), stored);
    EXPECT_FALSE(channel.IsCancelRequested());
    const ProgressStatus status = channel.ReadStatus();
    EXPECT_EQ(status.code, 0);
    EXPECT_EQ(status.percent, 0);
    EXPECT_EQ(Narrow(status.text), "old") << "Start leaves the text alone";
  }
}

TEST(ProgressChannelTest, ReaderAlwaysSeesOneWholeStatus) {
  ProgressChannel channel;
  channel.Post(0, DecimalText(0), 0);
  std::atomic<bool> done{false};
  std::thread poster([&] {
    for (int i = 1; i <= 20000; ++i) channel.Post(i, DecimalText(i), i % 101);
    done = true;
  });
  int reads = 0, last = 0;
  while (!done || reads == 0) {
    const ProgressStatus status = channel.ReadStatus();
    ASSERT_EQ(Narrow(status.text), std::to_string(status.code));
    ASSERT_EQ(status.percent, status.code % 101);
    ASSERT_GE(status.code, last) << "statuses go forward";
    last = status.code;
    ++reads;
  }
  poster.join();
  EXPECT_EQ(channel.ReadStatus().code, 20000);
}

class WorkerTest : public ScratchTemplateTest {};

TEST_F(WorkerTest, StatusesInOrderAndFinalStatusStaysForASecond) {
  auto kit = OpenTestKit(m_base / "kit.efd", {{"a", "1"}, {"b\\c", "2"}, {"d", "3"}, {"e", "4"}});
  ASSERT_TRUE(kit);
  // The worker waits after each post until the test has read it.
  std::mutex mutex;
  std::condition_variable changed;
  int posted = -1, seen = -1;
  Clock::time_point commitAt;
  InstallJobOptions options;  // the installer's one-second pause
  options.stepHook = [&](InstallStep step, std::size_t i, const WideString&) {
    if (step == InstallStep::kCommit) commitAt = Clock::now();
    if (step != InstallStep::kUpToDateTest) return kOk;
    std::unique_lock lock(mutex);
    posted = static_cast<int>(i);
    changed.notify_all();
    changed.wait(lock, [&] { return seen == posted; });
    return kOk;
  };
  ProgressChannel channel;
  channel.Post(0, Wide("Preparing to copy..."), 0);
  channel.Start(kit.get(), Wide(m_t));
  WorkerThread worker;
  worker.Clear();
  worker.Launch(&channel, options);
  ASSERT_EQ(worker.createResult(), 0);
  std::vector<int> percents;
  std::vector<std::string> texts;
  for (int i = 0; i < 4; ++i) {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return posted == i; });
    const ProgressStatus status = channel.ReadStatus();
    percents.push_back(status.percent);
    texts.push_back(Narrow(status.text));
    seen = i;
    changed.notify_all();
  }
  ProgressStatus status;
  do {
    status = channel.ReadStatus();
  } while (status.code == 0 && status.percent != 100);
  EXPECT_EQ(status.code, 0);
  EXPECT_EQ(Narrow(status.text), "Copying complete...");
  std::this_thread::sleep_for(std::chrono::milliseconds(900));
  status = channel.ReadStatus();
  EXPECT_EQ(status.percent, 100);
  EXPECT_EQ(Narrow(status.text), "Copying complete...");
  EXPECT_EQ(worker.Join(), 0);
  EXPECT_GE(Clock::now() - commitAt, std::chrono::milliseconds(1000));
  EXPECT_EQ(percents, (std::vector<int>{0, 25, 50, 75}));
  EXPECT_EQ(texts, (std::vector<std::string>{m_t + "/a", m_t + "/b/c", m_t + "/d", m_t + "/e"}));
  EXPECT_EQ(ReadAll(m_t + "/b/c"), "2");
  EXPECT_EQ(worker.Join(), 0) << "joining twice is harmless";
}

TEST_F(WorkerTest, StopDuringRunLetsItFinishAndNoOtherRunStarts) {
  auto kit = OpenTestKit(m_base / "kit.efd", {{"a", "1"}, {"b", "2"}});
  ASSERT_TRUE(kit);
  std::atomic<int> tests{0};
  std::atomic<bool> stopped{false};
  InstallJobOptions options;
  options.pauseMilliseconds = 0;
  options.stepHook = [&](InstallStep step, std::size_t, const WideString&) {
    if (step == InstallStep::kUpToDateTest) {
      ++tests;
      while (!stopped) std::this_thread::yield();
    }
    return kOk;
  };
  ProgressChannel channel;
  channel.Start(kit.get(), Wide(m_t));
  WorkerThread worker;
  worker.Launch(&channel, options);
  while (tests == 0) std::this_thread::yield();
  worker.RequestStop();
  stopped = true;
  EXPECT_EQ(worker.Join(), 0);
  const ProgressStatus status = channel.ReadStatus();
  EXPECT_EQ(status.code, 0);
  EXPECT_EQ(status.percent, 100);
  EXPECT_EQ(tests, 2) << "one run of two entries";
  EXPECT_TRUE(worker.stopRequested());

  // A stop requested before the run: nothing runs, and the reader is told.
  WorkerThread::ThreadMain(&worker);
  const ProgressStatus cancelled = channel.ReadStatus();
  EXPECT_EQ(cancelled.code, kErrCancelled);
  EXPECT_EQ(cancelled.percent, 0);
  EXPECT_EQ(Narrow(cancelled.text), "Installation error");
  EXPECT_EQ(tests, 2);
}

TEST_F(WorkerTest, ErrorIsVisibleOnlyAfterTheRollback) {
  std::vector<EntrySpec> entries;
  for (int i = 0; i < 300; ++i)
    entries.push_back(
        {"n\\d" + std::to_string(i % 7) + "\\f" + std::to_string(i), std::string(100, 'x')});
  for (int i = 0; i < 50; ++i) {
    PutFile(m_t + "/old" + std::to_string(i), "old", kOld);
    entries.push_back({"old" + std::to_string(i), "new"});
  }
  entries.push_back({"blocked", "x"});
  mkdir((m_t + "/blocked").c_str(), 0755);
  const Snapshot before = TakeSnapshot(m_t);
  auto kit = OpenTestKit(m_base / "kit.efd", entries);
  ASSERT_TRUE(kit);
  ProgressChannel channel;
  channel.Start(kit.get(), Wide(m_t));
  InstallJobOptions options;
  options.pauseMilliseconds = 0;
  WorkerThread worker;
  worker.Launch(&channel, options);
  ProgressStatus status;
  do {
    status = channel.ReadStatus();
  } while (status.code == 0 && status.percent != 100);
  // Checked while the worker may still be running: it must already be done.
  EXPECT_EQ(TakeSnapshot(m_t), before);
  EXPECT_TRUE(BackupDirsAnywhere(m_tmp, m_home, m_t).empty());
  EXPECT_EQ(status.code, kErrInvalidParameter);
  EXPECT_EQ(status.percent, 350 * 100 / 351);
  EXPECT_EQ(worker.Join(), 0);
}

TEST(WorkerThreadTest, JoinWithoutLaunchReportsNoThread) {
  WorkerThread worker;
  EXPECT_EQ(worker.createResult(), -1);
  EXPECT_EQ(worker.Join(), -1);
}

}  // namespace
}  // namespace veskp8::test
