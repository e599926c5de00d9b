// A failed installation leaves the template directory exactly as it was:
// failures at every entry and every step, and real faults (a directory in the
// way, links, permissions, vanishing files, a full file system), with the
// temporary directory on the template directory's file system and on another.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "install/progress_meter.h"
#include "install/engine_fixture.h"

namespace veskp8::test {
namespace {

const char* StepName(InstallStep step) {
  switch (step) {
    case InstallStep::kUpToDateTest:
      return "up-to-date test";
    case InstallStep::kBackup:
      return "backup";
    case InstallStep::kEnsureDirectory:
      return "ensure directory";
    case InstallStep::kWrite:
      return "write";
    case InstallStep::kWritten:
      return "written";
    case InstallStep::kCommit:
      return "commit";
  }
  return "?";
}

int Percent(std::size_t index, std::size_t count) { return static_cast<int>(index * 100 / count); }

// The percent before entry `index` of a kit whose entries differ in size
// (bytes and entries together, progress_meter.h).
int PercentBefore(const std::vector<EntrySpec>& entries, std::size_t index) {
  std::vector<std::uint32_t> sizes;
  for (const EntrySpec& e : entries) sizes.push_back(static_cast<std::uint32_t>(e.content.size()));
  ProgressMeter meter(sizes);
  meter.StartEntry(index);
  return meter.Percent();
}

void ExpectErrorStatus(const RunResult& run, ResultCode code, int percent) {
  EXPECT_EQ(run.code, code);
  EXPECT_EQ(run.status.code, code);
  EXPECT_EQ(Narrow(run.status.text), "Installation error");
  EXPECT_EQ(run.status.percent, percent);
}

TEST_P(EngineTest, SuccessfulRunInstallsMixedKit) {
  ResetUserTree();
  auto kit = Kit(MixedEntries());
  ASSERT_TRUE(kit);
  const RunResult run = RunInstall(*kit, T());
  ASSERT_EQ(run.code, 0);
  EXPECT_EQ(run.status.percent, 100);
  EXPECT_EQ(Narrow(run.status.text), "Copying complete...");
  const Snapshot after = TakeSnapshot(m_template);
  EXPECT_EQ(after.at("a.txt").content, "new a");
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(after.at("a.txt").mode & 07777, 0660u & ~mask) << "replaced files are created anew";
  EXPECT_EQ(after.at("c.txt"), m_before.at("c.txt"));
  EXPECT_EQ(after.at("sub/d.txt"), m_before.at("sub/d.txt"));
  EXPECT_EQ(after.at("new1/new2/new3/i.txt").content, "i");
  EXPECT_TRUE(S_ISREG(after.at("link.txt").mode));
  EXPECT_EQ(after.at("link.txt").content, "was a link");
  EXPECT_EQ(after.at("sub/deep/j.txt").mtimeSec, kKitTime);
  EXPECT_EQ(after.at("sub/deep/j.txt").mtimeNsec, 0);
  EXPECT_EQ(after.at("sub/keep.txt"), m_before.at("sub/keep.txt"));
  EXPECT_EQ(TakeSnapshot(m_outside), m_outsideBefore) << "the link's target is not written";
  EXPECT_TRUE(BackupDirsAnywhere(m_tmp, m_home, m_template).empty());
}

TEST_P(EngineTest, FailureAtEveryStepOfEveryEntryRestoresTemplate) {
  auto kit = Kit(MixedEntries());
  ASSERT_TRUE(kit);
  const std::size_t count = kit->entries().size();
  const InstallStep steps[] = {InstallStep::kUpToDateTest, InstallStep::kBackup,
                               InstallStep::kEnsureDirectory, InstallStep::kWrite,
                               InstallStep::kWritten};
  int failures = 0;
  for (InstallStep step : steps) {
    for (std::size_t k = 0; k < count; ++k) {
      ResetUserTree();
      bool fired = false;
      InstallJobOptions options;
      options.stepHook = [&](InstallStep s, std::size_t i, const WideString&) {
        if (s != step || i != k) return kOk;
        fired = true;
        return kErrInvalidHandle;
      };
      const RunResult run = RunInstall(*kit, T(), options);
      const std::string context = std::string(StepName(step)) + " of entry " + std::to_string(k);
      if (!fired) {
        // The step does not happen for this entry (skipped, or nothing to back up).
        EXPECT_EQ(run.code, 0) << context;
        continue;
      }
      ++failures;
      SCOPED_TRACE(context);
      ExpectErrorStatus(run, kErrInvalidHandle, Percent(k, count));
      ExpectUnchanged(context);
    }
  }
  // Every entry fails at least at its up-to-date test; written entries at
  // four more steps; replaced ones also at the backup.
  EXPECT_EQ(failures, 11 + 9 * 3 + 4);

  ResetUserTree();
  InstallJobOptions options;
  options.stepHook = [](InstallStep s, std::size_t, const WideString&) {
    return s == InstallStep::kCommit ? kErrNotFound : kOk;
  };
  const RunResult run = RunInstall(*kit, T(), options);
  ExpectErrorStatus(run, kErrNotFound, Percent(count - 1, count));
  ExpectUnchanged("before the commit");
}

TEST_P(EngineTest, DirectoryInTheWayAtEveryIndexRestoresTemplate) {
  const std::vector<EntrySpec> mixed = MixedEntries();
  for (std::size_t k = 0; k <= mixed.size(); ++k) {
    std::vector<EntrySpec> entries = mixed;
    entries.insert(entries.begin() + static_cast<long>(k), EntrySpec{"blockdir", "file"});
    auto kit = Kit(entries);
    ASSERT_TRUE(kit);
    ResetUserTree();
    PutFile(m_template + "/blockdir/inside.txt", "user data", kOld);
    m_before = TakeSnapshot(m_template);
    const RunResult run = RunInstall(*kit, T());
    SCOPED_TRACE("directory at entry " + std::to_string(k));
    ExpectErrorStatus(run, kErrInvalidParameter, PercentBefore(entries, k));
    ExpectUnchanged("directory in the way");
  }
}

TEST_P(EngineTest, SpecialFileInTheWayIsNeverOpened) {
  ResetUserTree();
  ASSERT_EQ(mkfifo((m_template + "/pipe").c_str(), 0600), 0);
  m_before = TakeSnapshot(m_template);
  std::vector<EntrySpec> entries = MixedEntries();
  entries.push_back({"pipe", "data"});
  auto kit = Kit(entries);
  ASSERT_TRUE(kit);
  const RunResult run = RunInstall(*kit, T());  // would block forever if opened
  ExpectErrorStatus(run, kErrInvalidParameter, Percent(entries.size() - 1, entries.size()));
  ExpectUnchanged("fifo in the way");
}

TEST_P(EngineTest, LinkToDirectoryIsMovedAsLinkAndNeverFollowed) {
  auto success = Kit({{"docs", "now a file"}, {"docs2\\x.txt", "x"}});
  auto failure = Kit({{"docs", "now a file"}, {"blockdir", "x"}});
  ASSERT_TRUE(success && failure);

  ResetUserTree();
  PutFile(m_outside + "/dir/precious.txt", "outside the template", kOld);
  ASSERT_EQ(symlink("../outside/dir", (m_template + "/docs").c_str()), 0);
  mkdir((m_template + "/blockdir").c_str(), 0755);
  m_before = TakeSnapshot(m_template);
  m_outsideBefore = TakeSnapshot(m_outside);
  ExpectErrorStatus(RunInstall(*failure, T()), kErrInvalidParameter, 50);
  ExpectUnchanged("link restored as a link");

  ASSERT_EQ(RunInstall(*success, T()).code, 0);
  EXPECT_EQ(ReadAll(m_template + "/docs"), "now a file");
  EXPECT_EQ(TakeSnapshot(m_outside), m_outsideBefore)
      << "commit must not follow the backed-up link";
  EXPECT_TRUE(BackupDirsAnywhere(m_tmp, m_home, m_template).empty());
}

TEST_P(EngineTest, DestinationThatVanishesCountsAsAbsent) {
  std::vector<EntrySpec> entries = MixedEntries();
  entries.push_back({"blockdir", "x"});
  auto kit = Kit(entries);
  ASSERT_TRUE(kit);

  // a.txt disappears between the up-to-date test and its backup; a later
  // failure must remove the file written in its place.
  ResetUserTree();
  mkdir((m_template + "/blockdir").c_str(), 0755);
  Snapshot expected = TakeSnapshot(m_template);
  expected.erase("a.txt");
  InstallJobOptions options;
  options.stepHook = [&](InstallStep s, std::size_t i, const WideString& d) {
    if (s == InstallStep::kBackup && i == 0) unlink(Narrow(d).c_str());
    return kOk;
  };
  RunResult run = RunInstall(*kit, T(), options);
  ExpectErrorStatus(run, kErrInvalidParameter, Percent(entries.size() - 1, entries.size()));
  EXPECT_EQ(TakeSnapshot(m_template), expected);
  EXPECT_TRUE(BackupDirsAnywhere(m_tmp, m_home, m_template).empty());

  // A directory the run created vanishes before a file is written into it.
  ResetUserTree();
  options.stepHook = [&](InstallStep s, std::size_t i, const WideString&) {
    if (s == InstallStep::kWrite && i == 8) RemoveAll(m_template + "/new1");
    return kOk;
  };
  run = RunInstall(*kit, T(), options);
  ExpectErrorStatus(run, kErrNotFound, Percent(8, entries.size()));
  ExpectUnchanged("created directory vanished");
}

// Faults that bind only an unprivileged user, made in a child that drops to
// nobody. The child exits with the job's result code.
TEST_P(EngineTest, PermissionFaultsAsUnprivilegedUser) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to make a child that drops to nobody";
  // ro/old.txt cannot be moved out of its read-only directory; ro/new.txt
  // cannot be created in it; secret.txt (unreadable) can be renamed but not
  // copied to another file system, so the run fails at it there, and at the
  // directory in the way after it otherwise.
  struct Case {
    std::string what;
    std::vector<EntrySpec> extra;
    ResultCode expected;
  };
  const bool otherFs = GetParam();
  const Case cases[] = {
      {"read-only directory, replaced file", {{"ro\\old.txt", "new"}}, kErrNotFound},
      {"read-only directory, new file", {{"ro\\new.txt", "new"}}, kErrInvalidParameter},
      {"unreadable destination file",
       {{"secret.txt", "new secret"}, {"blockdir", "x"}},
       otherFs ? kErrNotFound : kErrInvalidParameter},
  };
  for (const auto& [what, extra, expected] : cases) {
    SCOPED_TRACE(what);
    std::vector<EntrySpec> entries = MixedEntries();
    entries.insert(entries.end(), extra.begin(), extra.end());
    ASSERT_TRUE(WriteKit(m_base / "kit.efd", entries));
    chmod((m_base / "kit.efd").c_str(), 0644);
    ResetUserTree();
    PutFile(m_template + "/ro/old.txt", "old", kOld, 0644);
    PutFile(m_template + "/secret.txt", "old secret", kOld, 0200);
    mkdir((m_template + "/blockdir").c_str(), 0755);
    GiveToNobody(m_template);
    GiveToNobody(m_outside);
    chmod((m_template + "/ro").c_str(), 0555);
    m_before = TakeSnapshot(m_template);
    m_outsideBefore = TakeSnapshot(m_outside);
    const std::string kitPath = m_base / "kit.efd";
    const std::string target = T();
    const int exitCode = RunAsNobody([&] {
      KitArchive kit;
      if (OpenKit(kit, Wide(kitPath)) != 0) return 100;
      const RunResult run = RunInstall(kit, target);
      if (run.status.code != run.code || Narrow(run.status.text) != "Installation error")
        return 101;
      return run.code;
    });
    EXPECT_EQ(exitCode, expected);
    ExpectUnchanged(what);
  }
}

TEST_P(EngineTest, FullFileSystemRestoresTemplate) {
  // The template directory on a 1 MiB file system that the kit overflows;
  // the backups go to TMPDIR (another file system) or into the full one.
  SmallFileSystem small(m_base / "small");
  if (!small.mounted()) GTEST_SKIP() << "cannot mount a 1 MiB tmpfs: " << small.error();
  const std::string t = m_base / "small/tpl";
  std::vector<EntrySpec> entries = MixedEntries();
  entries.push_back({"big1.bin", std::string(400 * 1024, 'x')});
  entries.push_back({"big2.bin", std::string(600 * 1024, 'y')});
  auto kit = Kit(entries);
  ASSERT_TRUE(kit);
  for (const std::string& tmp : {m_tmp, m_base / "small/tmp"}) {
    SCOPED_TRACE("backups in " + tmp);
    RemoveAll(t);
    RemoveAll(m_base / "small/outside");
    MakeUserTree(t, m_base / "small/outside");
    PutFile(t + "/big1.bin", std::string(300 * 1024, 'o'), kOld);  // replaced
    mkdir(tmp.c_str(), 0777);
    const Snapshot before = TakeSnapshot(t);
    ScopedTmpdir tmpdir(tmp);
    const RunResult run = RunInstall(*kit, t + "/");
    ExpectErrorStatus(run, kErrInvalidParameter, PercentBefore(entries, entries.size() - 1));
    EXPECT_EQ(TakeSnapshot(t), before);
    EXPECT_TRUE(BackupDirs(tmp).empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Engine, EngineTest, ::testing::Bool(), TmpName);

// The backups themselves overflow a small temporary file system (the
// template directory stays on disk): the copy into the backup fails, so the
// destination is never overwritten.
TEST(EngineFullTmp, BackupThatDoesNotFitFailsTheRun) {
  ScratchDir base("/var/tmp");
  ASSERT_TRUE(base.ok());
  SmallFileSystem small(base / "small");
  if (!small.mounted()) GTEST_SKIP() << "cannot mount a 1 MiB tmpfs: " << small.error();
  ScopedTmpdir tmpdir(base / "small");
  const std::string t = base / "tpl";
  PutFile(t + "/one.bin", std::string(200 * 1024, '1'), kOld);
  PutFile(t + "/two.bin", std::string(900 * 1024, '2'), kOld);
  PutFile(t + "/three.bin", "3", kOld);
  const Snapshot before = TakeSnapshot(t);
  // The kit image lives in TMPDIR too; keep it small.
  auto kit =
      OpenTestKit(base / "kit.efd",
                  {{"one.bin", "a"}, {"new\\n.txt", "n"}, {"two.bin", "b"}, {"three.bin", "c"}});
  ASSERT_TRUE(kit);
  InstallJobOptions options;
  options.backupsInTemporaryDirectory = true;
  const RunResult run = RunInstall(*kit, t + "/", options);
  ExpectErrorStatus(run, kErrNotFound, 50);
  EXPECT_EQ(TakeSnapshot(t), before);
  EXPECT_TRUE(BackupDirs(base / "small").empty());
  // Where they belong, on the template directory's file system, the backups
  // are renames and need no room at all.
  ScopedEnv home("HOME", base / "nohome");
  ASSERT_EQ(RunInstall(*kit, t + "/").code, kOk);
  EXPECT_EQ(ReadAll(t + "/two.bin"), "b");
  EXPECT_TRUE(BackupDirsAnywhere(base / "small", base / "nohome", t).empty());
}

}  // namespace
}  // namespace veskp8::test
