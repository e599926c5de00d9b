// One installation per template directory: a second installer process that
// starts while the first one copies fails at once with "busy" and changes
// nothing, and the first one's success or rollback leaves the directory as it
// alone would have.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "install/engine_fixture.h"

namespace veskp8::test {
namespace {

class TemplateLockTest : public EngineTest {};

// The first installer, in a forked child, stops before it writes entry
// `holdAt` until told to go on; `failAtCommit` makes it fail after its last
// entry.
struct HeldInstaller {
  std::size_t holdAt = 2;
  pid_t pid = -1;
  int ready[2] = {-1, -1};
  int go[2] = {-1, -1};

  void Start(const std::string& kitPath, const std::string& target, bool failAtCommit) {
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(go), 0);
    pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      KitArchive kit;
      if (OpenKit(kit, Wide(kitPath)) != 0) _exit(100);
      InstallJobOptions options;
      options.stepHook = [&](InstallStep s, std::size_t i, const WideString&) {
        if (s == InstallStep::kWrite && i == holdAt) {
          char c = 'r';
          (void)!write(ready[1], &c, 1);
          (void)!read(go[0], &c, 1);  // held mid-copy
        }
        return failAtCommit && s == InstallStep::kCommit ? kErrInvalidHandle : kOk;
      };
      _exit(RunInstall(kit, target, options).code);
    }
    close(ready[1]);  // a child that ends early ends the wait below
    ready[1] = -1;
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1) << "the first installer reached the entry it is held at";
  }
  int Finish() {
    char c = 'g';
    (void)!write(go[1], &c, 1);
    int status = 0;
    waitpid(pid, &status, 0);
    for (int fd : {ready[0], ready[1], go[0], go[1]}) {
      if (fd >= 0) close(fd);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

TEST_P(TemplateLockTest, SecondInstallerFailsAtOnceAndChangesNothing) {
  const std::vector<EntrySpec> first = MixedEntries();
  const std::vector<EntrySpec> second = {{"a.txt", "second a"}, {"second.txt", "2"}};
  ASSERT_TRUE(WriteKit(m_base / "first.efd", first));
  auto secondKit = OpenTestKit(m_base / "second.efd", second);
  ASSERT_TRUE(secondKit);

  // What the first installer alone makes of the user's tree.
  ResetUserTree();
  {
    KitArchive kit;
    ASSERT_EQ(OpenKit(kit, Wide(m_base / "first.efd")), 0);
    ASSERT_EQ(RunInstall(kit, T()).code, 0);
  }
  const Snapshot firstAlone = TakeSnapshot(m_template);

  for (const bool firstFails : {false, true}) {
    SCOPED_TRACE(firstFails ? "the first installer fails" : "the first installer succeeds");
    ResetUserTree();
    const Snapshot original = m_before;
    HeldInstaller held;
    held.Start(m_base / "first.efd", T(), firstFails);
    if (HasFatalFailure()) return;
    const Snapshot during = TakeSnapshot(m_template);
    const std::vector<std::string> backupsDuring = BackupDirsAnywhere(m_tmp, m_home, m_template);

    const auto started = std::chrono::steady_clock::now();
    const RunResult run = RunInstall(*secondKit, T());
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(run.code, kErrBusy);
    EXPECT_EQ(run.status.code, kErrBusy);
    EXPECT_EQ(Narrow(run.status.text),
              "Another installation into this template directory is in progress. Try again when "
              "it has finished.");
    EXPECT_EQ(run.status.percent, 0);
    EXPECT_LT(took, std::chrono::seconds(2)) << "fails at once, without waiting";
    EXPECT_EQ(TakeSnapshot(m_template), during) << "the second installer changed nothing";
    EXPECT_EQ(BackupDirsAnywhere(m_tmp, m_home, m_template), backupsDuring)
        << "and left no backup directory";

    const int firstCode = held.Finish();
    EXPECT_EQ(firstCode, firstFails ? kErrInvalidHandle : kOk);
    EXPECT_EQ(TakeSnapshot(m_template), firstFails ? original : firstAlone);
    EXPECT_TRUE(BackupDirsAnywhere(m_tmp, m_home, m_template).empty());
  }

  // Once the first has ended, the directory is free again.
  ResetUserTree();
  EXPECT_EQ(RunInstall(*secondKit, T()).code, kOk);
  EXPECT_EQ(ReadAll(m_template + "/second.txt"), "2");
}

TEST_P(TemplateLockTest, BusyInstallerRemovesTheLevelsItMade) {
  // Both installers make the same missing directory; the second, finding it
  // locked, takes away nothing the first needs and adds nothing.
  ASSERT_TRUE(WriteKit(m_base / "first.efd", {{"x.txt", "x"}, {"y.txt", "y"}, {"z.txt", "z"}}));
  auto secondKit = OpenTestKit(m_base / "second.efd", {{"s.txt", "s"}});
  ASSERT_TRUE(secondKit);
  const std::string target = m_base / "new/tpl/";
  HeldInstaller held;
  held.Start(m_base / "first.efd", target, false);
  if (HasFatalFailure()) return;
  EXPECT_EQ(RunInstall(*secondKit, target).code, kErrBusy);
  EXPECT_TRUE(Exists(target + "x.txt"));
  EXPECT_FALSE(Exists(target + "s.txt"));
  EXPECT_EQ(held.Finish(), kOk);
  EXPECT_EQ(ReadAll(target + "z.txt"), "z");
}

INSTANTIATE_TEST_SUITE_P(Lock, TemplateLockTest, ::testing::Bool(), TmpName);

}  // namespace
}  // namespace veskp8::test
