// The job's posts, its up-to-date rule and file times, the backup directory's
// name and mode, a truncated image, cancellation, and the transaction's own
// guarantees (no backup ever lost, the template directory kept).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "install/progress_meter.h"
#include "install/engine_test_support.h"
#include "install/install_transaction.h"

namespace veskp8::test {
namespace {

class EngineEdgeTest : public ScratchTemplateTest {
 protected:
  std::unique_ptr<KitArchive> Kit(const std::vector<EntrySpec>& entries) {
    return OpenTestKit(m_base / "kit.efd", entries);
  }
};

// Runs with a hook that records the status posted before each entry.
RunResult RunRecording(KitArchive& kit, const std::string& target, std::vector<int>& percents,
                       std::vector<std::string>& texts, InstallJobOptions options = {}) {
  options.pauseMilliseconds = 0;
  ProgressChannel channel;
  channel.Start(&kit, Wide(target));
  auto inner = options.stepHook;
  options.stepHook = [&](InstallStep step, std::size_t i, const WideString& d) -> ResultCode {
    if (step == InstallStep::kUpToDateTest) {
      const ProgressStatus status = channel.ReadStatus();
      percents.push_back(status.percent);
      texts.push_back(Narrow(status.text));
    }
    return inner ? inner(step, i, d) : kOk;
  };
  InstallEngine engine(options);
  RunResult result;
  result.code = engine.RunJob(channel);
  result.status = channel.ReadStatus();
  return result;
}

TEST_F(EngineEdgeTest, ThreeEntriesPostZeroThirtyThreeSixtySixThenHundred) {
  auto kit = Kit({{"a", "1"}, {"d\\b", "2"}, {"d\\e\\c", "3"}});
  ASSERT_TRUE(kit);
  std::vector<int> percents;
  std::vector<std::string> texts;
  const RunResult run = RunRecording(*kit, m_t, percents, texts);  // no trailing slash
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(percents, (std::vector<int>{0, 33, 66}));
  EXPECT_EQ(texts, (std::vector<std::string>{m_t + "/a", m_t + "/d/b", m_t + "/d/e/c"}));
  EXPECT_EQ(run.status.code, 0);
  EXPECT_EQ(run.status.percent, 100);
  EXPECT_EQ(Narrow(run.status.text), "Copying complete...");
}

TEST_F(EngineEdgeTest, ErrorAtFifthOfTenPostsForty) {
  std::vector<EntrySpec> entries;
  for (int i = 0; i < 10; ++i) entries.push_back({"f" + std::to_string(i), "x"});
  entries[4].name = "blocked";
  mkdir((m_t + "/blocked").c_str(), 0755);
  auto kit = Kit(entries);
  ASSERT_TRUE(kit);
  std::vector<int> percents;
  std::vector<std::string> texts;
  const RunResult run = RunRecording(*kit, m_t + "/", percents, texts);
  EXPECT_EQ(run.code, kErrInvalidParameter);
  EXPECT_EQ(run.status.code, kErrInvalidParameter);
  EXPECT_EQ(run.status.percent, 40);
  EXPECT_EQ(Narrow(run.status.text), "Installation error");
  EXPECT_EQ(percents, (std::vector<int>{0, 10, 20, 30, 40}));
  EXPECT_FALSE(Exists(m_t + "/f0"));
}

TEST_F(EngineEdgeTest, ZeroEntriesPostOnlyTheFinish) {
  auto kit = Kit({});
  ASSERT_TRUE(kit);
  std::vector<int> percents;
  std::vector<std::string> texts;
  const RunResult run = RunRecording(*kit, m_base / "never-made", percents, texts);
  EXPECT_EQ(run.code, 0);
  EXPECT_TRUE(percents.empty());
  EXPECT_EQ(run.status.percent, 100);
  EXPECT_EQ(Narrow(run.status.text), "Copying complete...");
  // The transaction makes the template directory to lock it, even for a kit
  // without entries.
  EXPECT_TRUE(IsDir(m_base / "never-made"));
  EXPECT_TRUE(BackupDirsAnywhere(m_tmp, m_home, m_t).empty());
}

TEST_F(EngineEdgeTest, EqualOrLaterTimesAreLeftUntouched) {
  PutFile(m_t + "/same.txt", "user same", kKitTime);  // same second, 0.123 s later
  PutFile(m_t + "/later.txt", "user later", kNew, 0600);
  PutFile(m_t + "/older.txt", "user older and longer", kOld);
  struct stat sameBefore;
  ASSERT_EQ(stat((m_t + "/same.txt").c_str(), &sameBefore), 0);
  const Snapshot before = TakeSnapshot(m_t);
  auto kit = Kit({{"same.txt", "kit"}, {"later.txt", "kit"}, {"older.txt", "kit older"}});
  ASSERT_TRUE(kit);
  std::vector<std::string> touched;
  InstallJobOptions options;
  options.stepHook = [&](InstallStep step, std::size_t, const WideString& d) {
    if (step == InstallStep::kBackup || step == InstallStep::kWrite) touched.push_back(Narrow(d));
    return kOk;
  };
  ASSERT_EQ(RunInstall(*kit, m_t + "/", options).code, 0);
  struct stat older;
  ASSERT_EQ(stat((m_t + "/older.txt").c_str(), &older), 0);
  EXPECT_EQ(older.st_atim.tv_sec, kKitTime);
  const Snapshot after = TakeSnapshot(m_t);
  EXPECT_EQ(after.at("same.txt"), before.at("same.txt"));
  EXPECT_EQ(after.at("later.txt"), before.at("later.txt"));
  struct stat sameAfter;
  ASSERT_EQ(stat((m_t + "/same.txt").c_str(), &sameAfter), 0);
  EXPECT_EQ(sameAfter.st_ino, sameBefore.st_ino);
  EXPECT_EQ(touched, (std::vector<std::string>{m_t + "/older.txt", m_t + "/older.txt"}));
  // The older file is replaced: new bytes (no tail), the entry's whole second.
  EXPECT_EQ(after.at("older.txt").content, "kit older");
  EXPECT_EQ(after.at("older.txt").mtimeSec, kKitTime);
  EXPECT_EQ(after.at("older.txt").mtimeNsec, 0);
}

TEST_F(EngineEdgeTest, SubSecondEntryTimesAreWrittenAsWholeSecondsAndNotRewritten) {
  const std::uint64_t ticks = Ticks(kKitTime) + 5'000'000;  // half a second later
  auto kit = Kit({{"half.txt", "half", ticks}, {"whole.txt", "whole"}});
  ASSERT_TRUE(kit);
  int writes = 0;
  InstallJobOptions options;
  options.stepHook = [&](InstallStep step, std::size_t, const WideString&) {
    if (step == InstallStep::kWrite) ++writes;
    return kOk;
  };
  ASSERT_EQ(RunInstall(*kit, m_t + "/", options).code, 0);
  const Snapshot first = TakeSnapshot(m_t);
  EXPECT_EQ(first.at("half.txt").mtimeSec, kKitTime);
  EXPECT_EQ(first.at("half.txt").mtimeNsec, 0);
  EXPECT_EQ(writes, 2);
  ASSERT_EQ(RunInstall(*kit, m_t + "/", options).code, 0);
  EXPECT_EQ(writes, 2) << "the file written from the sub-second entry is up to date at the "
                          "precision that was written";
  EXPECT_TRUE(BackupDirsAnywhere(m_tmp, m_home, m_t).empty());
}

TEST_F(EngineEdgeTest, StaleBackupNamesAreSkippedAndKept) {
  PutFile(m_tmp + "/p8stp0/left.txt", "left over", kOld);
  PutFile(m_tmp + "/p8stp1", "a file by that name", kOld);
  const Snapshot staleBefore = TakeSnapshot(m_tmp);
  PutFile(m_t + "/a.txt", "old", kOld);
  auto kit = Kit({{"a.txt", "new"}});
  ASSERT_TRUE(kit);
  std::string backup;
  mode_t backupMode = 0;
  InstallJobOptions options;
  options.backupsInTemporaryDirectory = true;
  options.stepHook = [&](InstallStep step, std::size_t, const WideString&) {
    if (step == InstallStep::kWritten) {
      backup = m_tmp + "/p8stp2";
      struct stat st;
      if (lstat(backup.c_str(), &st) == 0) backupMode = st.st_mode;
      EXPECT_EQ(ReadAll(backup + "/a.txt"), "old");
    }
    return kOk;
  };
  ASSERT_EQ(RunInstall(*kit, m_t + "/", options).code, 0);
  EXPECT_TRUE(S_ISDIR(backupMode));
  EXPECT_EQ(backupMode & 07777, 0700u);
  EXPECT_FALSE(Exists(backup)) << "the commit removes the run's own backup directory";
  Snapshot staleAfter = TakeSnapshot(m_tmp);
  for (auto it = staleAfter.begin(); it != staleAfter.end();) {
    it = it->first.rfind("edf", 0) == 0 ? staleAfter.erase(it) : std::next(it);
  }
  EXPECT_EQ(staleAfter, staleBefore);
}

TEST_F(EngineEdgeTest, TruncatedImageEndsTheEntryWithAnError) {
  PutFile(m_t + "/a.txt", "old a", kOld);
  const Snapshot before = TakeSnapshot(m_t);
  auto kit = Kit({{"a.txt", "new a"}, {"b.bin", std::string(5000, 'b')}});
  ASSERT_TRUE(kit);
  // The image loses the last 1000 bytes of b.bin after the kit was opened.
  struct stat st;
  ASSERT_EQ(fstat(kit->imageHandle(), &st), 0);
  ASSERT_EQ(ftruncate(kit->imageHandle(), st.st_size - 1000), 0);
  const RunResult run = RunInstall(*kit, m_t + "/");
  EXPECT_EQ(run.code, kErrInvalidData);
  EXPECT_EQ(run.status.code, kErrInvalidData);
  // b.bin's share begins after a.txt's 5 bytes and one entry's cost.
  EXPECT_EQ(run.status.percent, (5 + ProgressMeter::kEntryCost) * 100 /
                                    (5005 + 2 * ProgressMeter::kEntryCost));
  EXPECT_EQ(TakeSnapshot(m_t), before);
  EXPECT_TRUE(BackupDirsAnywhere(m_tmp, m_home, m_t).empty());
}

TEST_F(EngineEdgeTest, CancelRollsBackThenPostsCancelled) {
  PutFile(m_t + "/a.txt", "old a", kOld);
  auto kit = Kit({{"up.txt", "x"}, {"a.txt", "new a"}, {"n\\b.txt", "b"}});
  ASSERT_TRUE(kit);
  PutFile(m_t + "/up.txt", "up to date", kNew);
  const Snapshot withUp = TakeSnapshot(m_t);
  ProgressChannel channel;
  channel.Start(kit.get(), Wide(m_t));
  channel.SetCancel(true);
  InstallJobOptions options;
  options.pauseMilliseconds = 0;
  InstallEngine engine(options);
  EXPECT_EQ(engine.RunJob(channel), kErrCancelled);
  const ProgressStatus status = channel.ReadStatus();
  EXPECT_EQ(status.code, kErrCancelled);
  EXPECT_EQ(status.percent, 33) << "the first written entry is the second one";
  EXPECT_EQ(Narrow(status.text), "Installation error");
  EXPECT_EQ(TakeSnapshot(m_t), withUp);
  EXPECT_TRUE(BackupDirsAnywhere(m_tmp, m_home, m_t).empty());
}

TEST_F(EngineEdgeTest, MissingKitIsReportedNotCrashed) {
  ProgressChannel channel;
  channel.Start(nullptr, Wide(m_t));
  InstallEngine engine;
  EXPECT_EQ(engine.RunJob(channel), kErrInvalidParameter);
  EXPECT_EQ(channel.ReadStatus().code, kErrInvalidParameter);
}

TEST_F(EngineEdgeTest, TemplateCreatedByTheRunIsRemovedOnRollback) {
  const std::string parent = m_base / "parent";
  mkdir(parent.c_str(), 0755);
  auto kit = Kit({{"a\\b.txt", "b"}, {"c.txt", "c"}, {"blockdir", "x"}});
  ASSERT_TRUE(kit);
  // The run makes parent/new/tpl (two levels); a failure stops it at the end.
  const std::string t = parent + "/new/tpl";
  InstallJobOptions options;
  options.stepHook = [&](InstallStep step, std::size_t i, const WideString&) {
    return step == InstallStep::kUpToDateTest && i == 2 ? kErrInvalidParameter : kOk;
  };
  RunResult run = RunInstall(*kit, t, options);
  EXPECT_EQ(run.code, kErrInvalidParameter);
  EXPECT_TRUE(Exists(parent));
  EXPECT_FALSE(Exists(parent + "/new"));
  EXPECT_TRUE(BackupDirsAnywhere(m_tmp, m_home, m_t).empty());

  // What another program put into a directory the run created stays, and
  // so do the directories above it; the run's own files go.
  options.stepHook = [&](InstallStep step, std::size_t i, const WideString&) {
    if (step != InstallStep::kUpToDateTest || i != 2) return kOk;
    PutFile(t + "/a/theirs.txt", "x", kOld);
    return kErrInvalidParameter;
  };
  run = RunInstall(*kit, t, options);
  EXPECT_EQ(run.code, kErrInvalidParameter);
  EXPECT_EQ(ReadAll(t + "/a/theirs.txt"), "x");
  EXPECT_FALSE(Exists(t + "/a/b.txt"));
  EXPECT_FALSE(Exists(t + "/c.txt"));
  EXPECT_TRUE(BackupDirsAnywhere(m_tmp, m_home, m_t).empty());
}

TEST_F(EngineEdgeTest, TransactionRecordsOnlyWhatItCreated) {
  InstallTransaction transaction;
  ASSERT_EQ(transaction.Begin(Wide(m_t + "/")), kOk);
  const std::string backup = Narrow(transaction.backupDirectory());
  EXPECT_EQ(backup, m_t + "/.p8stp0/") << "no product data directory: at the top of T";
  EXPECT_TRUE(transaction.record().empty()) << "the backup directory is not recorded";
  mkdir((m_t + "/have").c_str(), 0755);
  ASSERT_EQ(transaction.EnsureDirectory(Wide(m_t + "/have/x/y")), kOk);
  ASSERT_EQ(transaction.EnsureDirectory(Wide(m_t + "/have/x/y")), kOk);
  std::vector<std::string> created;
  for (const UndoStep& step : transaction.record()) {
    EXPECT_EQ(step.kind, UndoKind::kDirectoryCreated);
    EXPECT_TRUE(step.done && step.identity.known());
    created.push_back(Narrow(step.path));
  }
  EXPECT_EQ(created, (std::vector<std::string>{m_t + "/have/x", m_t + "/have/x/y"}));
  PutFile(m_t + "/file", "f", kOld);
  EXPECT_EQ(transaction.EnsureDirectory(Wide(m_t + "/file/sub")), kErrNotFound);
  EXPECT_EQ(transaction.Backup(Wide(m_t + "/have")), kErrInvalidParameter) << "never a directory";
  EXPECT_EQ(transaction.Backup(Wide(m_t + "/missing")), kErrNotFound) << "nothing to move";
  EXPECT_EQ(transaction.Rollback(5), 5);
  EXPECT_TRUE(Exists(m_t + "/have"));
  EXPECT_FALSE(Exists(m_t + "/have/x"));
  EXPECT_FALSE(Exists(backup));
}

TEST_F(EngineEdgeTest, RollbackKeepsBackupsThatCannotGoBack) {
  PutFile(m_t + "/a.txt", "old a", kOld);
  PutFile(m_t + "/d/b.txt", "old b", kOld);
  InstallTransaction transaction;
  ASSERT_EQ(transaction.Begin(Wide(m_t + "/")), kOk);
  const std::string backup = Narrow(transaction.backupDirectory());
  ASSERT_EQ(transaction.Backup(Wide(m_t + "/a.txt")), kOk);
  ASSERT_EQ(transaction.Backup(Wide(m_t + "/d/b.txt")), kOk);
  EXPECT_EQ(ReadAll(backup + "d/b.txt"), "old b");
  // Something that is not the transaction's puts a directory where a.txt was.
  mkdir((m_t + "/a.txt").c_str(), 0755);
  EXPECT_EQ(transaction.Rollback(2), 2);
  EXPECT_FALSE(transaction.restoredCompletely());
  EXPECT_EQ(ReadAll(m_t + "/d/b.txt"), "old b");
  EXPECT_EQ(ReadAll(backup + "a.txt"), "old a") << "the backup that could not go back is kept";
  EXPECT_FALSE(Exists(backup + "d/b.txt"));
}

}  // namespace
}  // namespace veskp8::test
