// The process stop: real signals to a forked child that installs the signal
// waiter (the mask and the waiter are process-wide), the wait for a program
// that gives up on a stop, and the job's stop inside a large entry, while the
// worker copies and after its last entry.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "install/progress_meter.h"
#include "install/engine_test_support.h"
#include "install/fs/process.h"
#include "install/fs/stop_signals.h"
#include "install/worker_thread.h"

namespace veskp8::test {
namespace {

using Clock = std::chrono::steady_clock;

// Runs `body` in a forked child; it writes a report line to `out` and ends
// the process itself. Returns the report and the child's wait status.
struct ChildResult {
  std::string report;
  int status = 0;
};
ChildResult InChild(void (*body)(FILE* out)) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    FILE* out = fdopen(fds[1], "w");
    body(out);
    _exit(99);  // the body ends the process itself
  }
  close(fds[1]);
  ChildResult result;
  char buffer[256];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0) result.report.append(buffer, n);
  close(fds[0]);
  waitpid(pid, &result.status, 0);
  return result;
}

bool WaitFor(bool (*condition)(), int milliseconds) {
  const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
  while (!condition()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::atomic<int> g_notified{0};
std::atomic<bool> g_notifiedOnCaller{false};
pthread_t g_caller;
void CountNotification(void*) {
  ++g_notified;
  g_notifiedOnCaller = pthread_equal(pthread_self(), g_caller) != 0;
}

int g_signal = 0;
// The first of two signals stops, the second is dropped; the notifier runs
// once, on the waiter thread; the process ends by the first signal.
void FirstSignalWins(FILE* out) {
  g_caller = pthread_self();
  if (!InstallStopSignals()) _exit(90);
  SetStopNotifier(&CountNotification, nullptr);
  const int other = g_signal == SIGTERM ? SIGHUP : SIGTERM;
  kill(getpid(), g_signal);  // to the process, as kill(1) and a terminal send it
  const bool stopped = WaitFor(StopRequested, 5000);
  kill(getpid(), other);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  fprintf(out, "stopped=%d signal=%d notified=%d onCaller=%d", stopped, StopSignal(),
          g_notified.load(), g_notifiedOnCaller.load());
  fclose(out);
  EndByStopSignal();
}

TEST(StopSignals, FirstSignalStopsNotifiesOnceAndEndsTheProcessByIt) {
  for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(number));
    g_signal = number;
    const ChildResult child = InChild(&FirstSignalWins);
    EXPECT_EQ(child.report,
              "stopped=1 signal=" + std::to_string(number) + " notified=1 onCaller=0");
    ASSERT_TRUE(WIFSIGNALED(child.status)) << "wait status " << child.status;
    EXPECT_EQ(WTERMSIG(child.status), number);
  }
}

// SIGHUP inherited as ignored (nohup) stays ignored; a notifier set after
// the stop is called at once, on the caller's thread.
void IgnoredStaysIgnored(FILE* out) {
  g_caller = pthread_self();
  signal(SIGHUP, SIG_IGN);
  if (!InstallStopSignals()) _exit(90);
  kill(getpid(), SIGHUP);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const bool stoppedByHup = StopRequested();
  kill(getpid(), SIGINT);
  const bool stopped = WaitFor(StopRequested, 5000);
  SetStopNotifier(&CountNotification, nullptr);
  fprintf(out, "hup=%d stopped=%d signal=%d notified=%d onCaller=%d", stoppedByHup, stopped,
          StopSignal(), g_notified.load(), g_notifiedOnCaller.load());
  fclose(out);
  EndByStopSignal();
}

TEST(StopSignals, InheritedIgnoreIsKeptAndALateNotifierIsCalledAtOnce) {
  const ChildResult child = InChild(&IgnoredStaysIgnored);
  EXPECT_EQ(child.report,
            "hup=0 stopped=1 signal=" + std::to_string(SIGINT) + " notified=1 onCaller=1");
  ASSERT_TRUE(WIFSIGNALED(child.status));
  EXPECT_EQ(WTERMSIG(child.status), SIGINT);
}

TEST(StopSignals, WaitForAProgramGivesUpOnAStop) {
  std::atomic<bool> stop{false};
  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    stop = true;
  });
  const auto start = Clock::now();
  const int status = RunProgram({NarrowString("sleep"), NarrowString("3")}, true, &stop);
  const auto waited = Clock::now() - start;
  setter.join();
  EXPECT_EQ(status, -1);
  EXPECT_LT(waited, std::chrono::milliseconds(1500));
  // Until a stop, the wait lasts until the program ends and gives its status.
  stop = false;
  EXPECT_EQ(RunProgram({NarrowString("sh"), NarrowString("-c"), NarrowString("sleep 0.1; exit 3")},
                       true, &stop),
            3 << 8);
}

class EngineStopTest : public ScratchTemplateTest {};

// A stop while a 24 MiB entry is copied ends the entry after its block (the
// entry never counts as written) and the run rolls back as a cancelled one.
TEST_F(EngineStopTest, StopInsideALargeEntryEndsAfterItsBlockAndRollsBack) {
  PutFile(m_t + "/a.txt", "old a", kOld, 0640);
  PutFile(m_t + "/big.bin", "old big", kOld, 0600);
  PutFile(m_t + "/mine.txt", "the user's", kOld);
  auto kit = OpenTestKit(m_base / "kit.efd",
                         {{"a.txt", "new a"}, {"big.bin", std::string(24 << 20, 'x')}, {"z.txt", "z"}});
  ASSERT_TRUE(kit);
  const Snapshot before = TakeSnapshot(m_t);

  std::atomic<bool> stop{false};
  std::vector<std::size_t> written;
  InstallJobOptions options;
  options.pauseMilliseconds = 0;
  options.stop = &stop;
  options.stepHook = [&](InstallStep step, std::size_t index, const WideString&) {
    if (step == InstallStep::kWrite && index == 1) stop = true;
    if (step == InstallStep::kWritten) written.push_back(index);
    return kOk;
  };
  ProgressChannel channel;
  channel.Start(kit.get(), Wide(m_t));
  InstallEngine engine(options);
  EXPECT_EQ(engine.RunJob(channel), kErrCancelled);
  EXPECT_EQ(written, std::vector<std::size_t>{0}) << "the large entry was copied to its end";
  const ProgressStatus status = channel.ReadStatus();
  EXPECT_EQ(status.code, kErrCancelled);
  // The percent of the entry it stopped in, at that entry's start.
  ProgressMeter meter({5, 24u << 20, 1});
  meter.StartEntry(1);
  EXPECT_EQ(status.percent, meter.Percent());
  EXPECT_EQ(TakeSnapshot(m_t), before);
  EXPECT_TRUE(BackupDirsAnywhere(m_tmp, m_home, m_t).empty());
}

// The owner's side, across threads: a stop while the worker copies ends in
// a rollback, a stop once the worker is past its last entry in a commit.
TEST_F(EngineStopTest, WorkerStoppedWhileCopyingRollsBackAndPastItsLastEntryCommits) {
  PutFile(m_t + "/big.bin", "old big", kOld, 0600);
  auto kit = OpenTestKit(m_base / "kit.efd",
                         {{"a.txt", "new a"}, {"big.bin", std::string(64 << 20, 'x')}});
  ASSERT_TRUE(kit);
  const Snapshot before = TakeSnapshot(m_t);
  std::atomic<bool> stop{false};
  std::atomic<bool> writing{false};
  InstallJobOptions options;
  options.pauseMilliseconds = 0;
  options.stop = &stop;
  options.stepHook = [&](InstallStep step, std::size_t index, const WideString&) {
    if (step == InstallStep::kWrite && index == 1) writing = true;
    return kOk;
  };
  {
    ProgressChannel channel;
    channel.Start(kit.get(), Wide(m_t));
    WorkerThread worker;
    worker.Launch(&channel, options);
    ASSERT_EQ(worker.createResult(), 0);
    while (!writing) std::this_thread::yield();
    stop = true;  // as the signal waiter thread sets it
    ASSERT_EQ(worker.Join(), 0);
    EXPECT_EQ(worker.report().result, kErrCancelled);
    EXPECT_EQ(channel.ReadStatus().code, kErrCancelled);
    EXPECT_EQ(TakeSnapshot(m_t), before);
  }
  // Past the last entry a stop undoes nothing: the commit is made, and only
  // the pause after the final status is cut short.
  stop = false;
  options.pauseMilliseconds = 5000;
  options.stepHook = [&](InstallStep step, std::size_t, const WideString&) {
    if (step == InstallStep::kCommit) stop = true;
    return kOk;
  };
  ProgressChannel channel;
  channel.Start(kit.get(), Wide(m_t));
  WorkerThread worker;
  worker.Launch(&channel, options);
  while (!stop) std::this_thread::yield();  // the job is at its commit
  const auto start = Clock::now();
  ASSERT_EQ(worker.Join(), 0);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2000));
  EXPECT_EQ(worker.report().result, kOk);
  EXPECT_EQ(channel.ReadStatus().percent, 100);
  EXPECT_EQ(ReadAll(m_t + "/a.txt"), "new a");
  EXPECT_EQ(Exists(m_t + "/big.bin") ? std::filesystem::file_size(m_t + "/big.bin") : 0u,
            std::uintmax_t{64} << 20);
  EXPECT_TRUE(BackupDirsAnywhere(m_tmp, m_home, m_t).empty());
}

}  // namespace
}  // namespace veskp8::test
