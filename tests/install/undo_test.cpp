// The undo record keeps every promise of the error page, or tells the truth:
// two names of one file (a link inside the template directory, case variants,
// the same name twice), files made through a link that the run later replaced,
// a restore into a full file system with the backups elsewhere (content,
// mode, times, extended attributes and ACLs back), a restore made impossible
// for an unprivileged user, and the one-step undo of records from elsewhere.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "install/engine_fixture.h"
#include "install/install_outcome.h"
#include "install/install_transaction.h"
#include "install/undo_record.h"

namespace veskp8::test {
namespace {

constexpr std::uint64_t kLater = 10'000'000 * 60;  // one minute in ticks

std::string GetXattr(const std::string& path, const char* name) {
  char value[256];
  const ssize_t n = lgetxattr(path.c_str(), name, value, sizeof value);
  return n < 0 ? std::string("<none>") : std::string(value, static_cast<std::size_t>(n));
}

// A POSIX access ACL granting user nobody read access (the kernel's xattr form).
std::string NobodyReadsAcl() {
  struct Entry {
    std::uint16_t tag, perm;
    std::uint32_t id;
  };
  const Entry entries[] = {
      {0x01, 6, ~0u}, {0x02, 4, 65534}, {0x04, 4, ~0u}, {0x10, 4, ~0u}, {0x20, 0, ~0u}};
  std::string acl("\x02\0\0\0", 4);
  acl.append(reinterpret_cast<const char*>(entries), sizeof entries);
  return acl;
}

// Runs `kit` into T once per later entry k, failing it at `step` of entry k
// (so entries before k were made), and checks the promise each time.
template <typename Reset>
void FailAtEveryLaterEntry(EngineTest& test, KitArchive& kit, const std::string& t,
                           InstallStep step, Reset reset,
                           const std::function<void(const std::string&)>& expectUnchanged) {
  const std::size_t count = kit.entries().size();
  for (std::size_t k = 1; k <= count; ++k) {
    reset();
    InstallJobOptions options;
    options.stepHook = [&](InstallStep s, std::size_t i, const WideString&) {
      if (k == count) return s == InstallStep::kCommit ? kErrInvalidHandle : kOk;
      return s == step && i == k ? kErrInvalidHandle : kOk;
    };
    const RunResult run = RunInstall(kit, t, options);
    const std::string context = "failure at entry " + std::to_string(k);
    EXPECT_EQ(run.code, kErrInvalidHandle) << context;
    expectUnchanged(context);
  }
  (void)test;
}

class UndoTest : public EngineTest {};

TEST_P(UndoTest, TwoNamesOfOneFileThroughALinkNeverLoseTheOriginal) {
  // link -> real inside the template directory: link/x.txt and real/x.txt
  // are one file (and alias -> link). Several spellings, both orders, a later (newer) second
  // name so that it is written again, and a new file reached twice.
  const std::uint64_t first = Ticks(kKitTime);
  const std::uint64_t second = first + kLater;
  const std::vector<std::vector<EntrySpec>> kits = {
      {{"link\\x.txt", "kit x 1", first},
       {"real\\x.txt", "kit x 2", second},
       {"link\\n.txt", "kit n 1", first},
       {"real\\n.txt", "kit n 2", second},
       {"zz.txt", "z", first}},
      {{"real\\x.txt", "kit x 1", first},
       {"link\\x.txt", "kit x 2", second},
       {"real\\n.txt", "kit n 1", first},
       {"link\\n.txt", "kit n 2", second},
       {"zz.txt", "z", first}},
      {{"real\\y.txt", "kit y 1", first},
       {"alias\\y.txt", "kit y 2", second},
       {"link\\y.txt", "kit y 3", second + kLater},
       {"x.txt", "x", first},
       // The same file twice: the reader refuses a repeated name, so it is
       // reached through here -> "." instead.
       {"here\\x.txt", "x again", second}},
  };
  auto reset = [&] {
    ResetUserTree();
    PutFile(m_template + "/real/x.txt", "user x", kOld, 0640);
    PutFile(m_template + "/real/y.txt", "user y", kOld, 0600);
    PutFile(m_template + "/x.txt", "user top x", kOld);
    ASSERT_EQ(symlink("real", (m_template + "/link").c_str()), 0);
    ASSERT_EQ(symlink("link", (m_template + "/alias").c_str()), 0);  // a second spelling
    ASSERT_EQ(symlink(".", (m_template + "/here").c_str()), 0);
    SetTimes(m_template + "/link", kOld);
    m_before = TakeSnapshot(m_template);
  };
  for (std::size_t n = 0; n < kits.size(); ++n) {
    SCOPED_TRACE("kit " + std::to_string(n));
    auto kit = Kit(kits[n]);
    ASSERT_TRUE(kit);
    for (InstallStep step : {InstallStep::kUpToDateTest, InstallStep::kWritten}) {
      FailAtEveryLaterEntry(*this, *kit, T(), step, reset,
                            [&](const std::string& c) { ExpectUnchanged(c); });
    }
    reset();
    ASSERT_EQ(RunInstall(*kit, T()).code, 0);
    const std::vector<EntrySpec>& e = kits[n];
    EXPECT_EQ(ReadAll(m_template + "/" + (n == 2 ? "real/y.txt" : "real/x.txt")),
              n == 2 ? "kit y 3" : "kit x 2")
        << "the newest version of the file wins";
    EXPECT_TRUE(IsLink(m_template + "/link"));
    EXPECT_TRUE(BackupDirsAnywhere(m_tmp, m_home, m_template).empty());
    (void)e;
  }
}

TEST_P(UndoTest, FilesMadeThroughALinkThatTheRunReplacedAreRemoved) {
  // a -> ../outside/elsewhere; a\b.txt and a\new\c.txt land there, then the
  // link itself is replaced by the file a, then the run fails.
  auto kit = Kit({{"a\\b.txt", "b"}, {"a\\new\\c.txt", "c"}, {"a", "now a file"}, {"z", "z"}});
  ASSERT_TRUE(kit);
  auto reset = [&] {
    ResetUserTree();
    PutFile(m_outside + "/elsewhere/keep.txt", "theirs", kOld);
    ASSERT_EQ(symlink("../outside/elsewhere", (m_template + "/a").c_str()), 0);
    m_before = TakeSnapshot(m_template);
    m_outsideBefore = TakeSnapshot(m_outside);
  };
  FailAtEveryLaterEntry(*this, *kit, T(), InstallStep::kUpToDateTest, reset,
                        [&](const std::string& c) { ExpectUnchanged(c); });
}

TEST_P(UndoTest, CaseVariantsOnACaseInsensitiveFileSystem) {
  // tmpfs folds case where the kernel has Unicode support (casefold option
  // and a directory with the casefold flag); elsewhere this cannot be made.
  SmallFileSystem folding(m_base / "fold", "size=4m,casefold");
  if (!folding.mounted()) {
    GTEST_SKIP() << "no case-insensitive file system can be made here (tmpfs casefold: "
                 << folding.error() << ")";
  }
  const std::string t = m_base / "fold/tpl";
  mkdir(t.c_str(), 0755);
  const int fd = open(t.c_str(), O_RDONLY | O_DIRECTORY);
  int flags = FS_CASEFOLD_FL;
  const bool folded = fd >= 0 && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  if (fd >= 0) close(fd);
  if (!folded) GTEST_SKIP() << "cannot set the casefold flag on a tmpfs directory";
  const std::uint64_t first = Ticks(kKitTime);
  auto kit = Kit({{"foo.txt", "kit 1", first},
                  {"FOO.TXT", "kit 2", first + kLater},
                  {"Sub\\A.txt", "kit a", first},
                  {"z", "z", first}});
  ASSERT_TRUE(kit);
  Snapshot before;
  auto reset = [&] {
    RemoveAll(t + "/Foo.txt");
    RemoveAll(t + "/sub");
    RemoveAll(t + "/z");
    PutFile(t + "/Foo.txt", "user foo", kOld, 0640);
    PutFile(t + "/sub/a.TXT", "user a", kOld);
    before = TakeSnapshot(t);
  };
  FailAtEveryLaterEntry(*this, *kit, t + "/", InstallStep::kUpToDateTest, reset,
                        [&](const std::string& c) {
                          EXPECT_EQ(TakeSnapshot(t), before) << c << ": names keep their case";
                          EXPECT_TRUE(BackupDirsAnywhere(m_tmp, m_home, m_template).empty()) << c;
                        });
}

TEST_P(UndoTest, RestoreIntoAFullFileSystemNeedsNoFreeSpace) {
  // The template directory nearly fills a 1 MiB tmpfs; the backups go to
  // TMPDIR on another file system (or the same full one). Each update is a
  // little larger than its original, so the third one fills the disk.
  SmallFileSystem small(m_base / "small");
  if (!small.mounted()) GTEST_SKIP() << "cannot mount a 1 MiB tmpfs: " << small.error();
  const std::string t = m_base / "small/tpl";
  auto kit = Kit({{"a.bin", std::string(420 * 1024, 'A')},
                  {"b.bin", std::string(420 * 1024, 'B')},
                  {"c.bin", std::string(420 * 1024, 'C')}});
  ASSERT_TRUE(kit);
  for (const std::string& tmp : {m_tmp, m_base / "small/tmp"}) {
    SCOPED_TRACE("backups in " + tmp);
    RemoveAll(t);
    PutFile(t + "/a.bin", std::string(400 * 1024, 'a'), kOld, 0640);
    PutFile(t + "/b.bin", std::string(380 * 1024, 'b'), kOld, 0604);
    PutFile(t + "/c.bin", std::string(150 * 1024, 'c'), kOld, 0600);
    ASSERT_EQ(lsetxattr((t + "/a.bin").c_str(), "user.origin", "user", 4, 0), 0);
    const std::string acl = NobodyReadsAcl();
    ASSERT_EQ(
        lsetxattr((t + "/b.bin").c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0), 0);
    const std::string aclBefore = GetXattr(t + "/b.bin", "system.posix_acl_access");
    SetTimes(t + "/b.bin", kOld, 987654321);
    mkdir(tmp.c_str(), 0777);
    const Snapshot before = TakeSnapshot(t);
    ScopedTmpdir tmpdir(tmp);
    const RunResult run = RunInstall(*kit, t + "/");
    EXPECT_NE(run.code, kOk) << "the third update does not fit";
    EXPECT_EQ(run.status.code, run.code);
    EXPECT_EQ(Narrow(run.status.text), "Installation error") << "everything went back";
    EXPECT_EQ(TakeSnapshot(t), before) << "every original back, byte for byte";
    EXPECT_EQ(GetXattr(t + "/a.bin", "user.origin"), "user");
    EXPECT_EQ(GetXattr(t + "/b.bin", "system.posix_acl_access"), aclBefore);
    EXPECT_TRUE(BackupDirs(tmp).empty());
  }
}

TEST_P(UndoTest, ImpossibleRestoreKeepsTheBackupAndSaysWhere) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to make a child that drops to nobody";
  // As nobody: ro/old.txt is replaced, then the directory ro is made
  // read-only (by its owner, "another program") before a later failure, so
  // neither the new file can be removed nor the original put back.
  ASSERT_TRUE(WriteKit(m_base / "kit.efd",
                       {{"a.txt", "new a"}, {"ro\\old.txt", "new old"}, {"z.txt", "z"}}));
  chmod((m_base / "kit.efd").c_str(), 0644);
  ResetUserTree();
  PutFile(m_template + "/ro/old.txt", "the user's old", kOld, 0644);
  GiveToNobody(m_template);
  const std::string result = m_base / "result";
  mkdir(result.c_str(), 0777);
  chmod(result.c_str(), 0777);
  const std::string kitPath = m_base / "kit.efd";
  const std::string target = T();
  const std::string ro = m_template + "/ro";
  const int exitCode = RunAsNobody([&] {
    KitArchive kit;
    if (OpenKit(kit, Wide(kitPath)) != 0) return 100;
    InstallJobOptions options;
    options.stepHook = [&](InstallStep s, std::size_t i, const WideString&) {
      if (s == InstallStep::kUpToDateTest && i == 2) chmod(ro.c_str(), 0555);
      return s == InstallStep::kWritten && i == 2 ? kErrInvalidHandle : kOk;
    };
    const RunResult run = RunInstall(kit, target, options);
    WriteText(result + "/page", Narrow(FailurePageText(run.status)));
    WriteText(result + "/box", Narrow(run.status.text));
    WriteText(result + "/backup", Narrow(run.status.backupDirectory));
    return run.status.cause == kErrInvalidHandle && run.status.code == run.code ? run.code : 101;
  });
  EXPECT_EQ(exitCode, kErrRollbackIncomplete % 256);
  const std::string backup = ReadText(result + "/backup");
  ASSERT_FALSE(backup.empty());
  EXPECT_NE(ReadText(result + "/page").find(backup), std::string::npos);
  EXPECT_NE(ReadText(result + "/page").find("could not be fully restored"), std::string::npos);
  EXPECT_NE(ReadText(result + "/box").find(backup), std::string::npos);
  EXPECT_EQ(ReadAll(backup + "ro/old.txt"), "the user's old") << "the original is kept";
  EXPECT_EQ(ReadAll(m_template + "/a.txt"), "old a, longer than the new one")
      << "what could go back went back";
  EXPECT_FALSE(Exists(m_template + "/z.txt"));
}

TEST_P(UndoTest, RestoreShortOfSpaceIsRetriedAfterEarlierStepsFreedTheirs) {
  // Backups on another file system. Another program fills the template
  // directory's file system just before the failure, so the original of
  // a.bin only fits once the new file n.bin, written earlier, is gone.
  if (!GetParam()) GTEST_SKIP() << "a rename within one file system needs no space";
  SmallFileSystem small(m_base / "small");
  if (!small.mounted()) GTEST_SKIP() << "cannot mount a 1 MiB tmpfs: " << small.error();
  const std::string t = m_base / "small/tpl";
  PutFile(t + "/a.bin", std::string(300 * 1024, 'a'), kOld, 0640);
  const Snapshot before = TakeSnapshot(t);
  auto kit = Kit({{"n.bin", std::string(300 * 1024, 'n')}, {"a.bin", "small"}, {"z", "z"}});
  ASSERT_TRUE(kit);
  const std::string filler = m_base / "small/filler";
  InstallJobOptions options;
  options.stepHook = [&](InstallStep s, std::size_t i, const WideString&) {
    if (s != InstallStep::kUpToDateTest || i != 2) return kOk;
    const int fd = open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const std::string block(4096, 'f');
    while (write(fd, block.data(), block.size()) == static_cast<ssize_t>(block.size())) {
    }
    close(fd);
    return kErrInvalidHandle;
  };
  const RunResult run = RunInstall(*kit, t + "/", options);
  EXPECT_EQ(run.code, kErrInvalidHandle);
  EXPECT_EQ(TakeSnapshot(t), before);
  EXPECT_TRUE(BackupDirsAnywhere(m_tmp, m_home, m_template).empty());
}

INSTANTIATE_TEST_SUITE_P(Undo, UndoTest, ::testing::Bool(), TmpName);

// Records what the observer saw, and what stood on disk at that moment.
class RecordingObserver final : public UndoObserver {
 public:
  ResultCode OnBegin(const WideString&) override { return kOk; }
  ResultCode OnBackupDirectory(const WideString& backup, bool made) override {
    if (made) m_log.push_back("begin " + std::to_string(Exists(Narrow(backup))));
    return kOk;
  }
  void OnBeforePlace(std::size_t, const UndoStep&) override {}
  ResultCode OnIntent(std::size_t index, const UndoStep& step) override {
    m_log.push_back("intent " + std::to_string(index) + " kind " +
                    std::to_string(static_cast<int>(step.kind)) + " exists " +
                    std::to_string(Exists(Narrow(step.path))) + " inode " +
                    std::to_string(step.identity.known() && step.kind != UndoKind::kMovedToBackup));
    return index == m_refuse ? kErrInvalidHandle : kOk;
  }
  void OnDone(std::size_t index, const UndoStep& step) override {
    const std::string where = Narrow(step.kind == UndoKind::kMovedToBackup ? step.backupPath
                                     : step.kind == UndoKind::kFileWritten ? step.temporaryPath
                                                                           : step.path);
    struct stat st {};
    const FileIdentity& id =
        step.kind == UndoKind::kMovedToBackup ? step.backupIdentity : step.identity;
    m_log.push_back("done " + std::to_string(index) + " same " +
                    std::to_string(lstat(where.c_str(), &st) == 0 && id.SameObject(st)));
  }
  void OnCommit() override { m_log.push_back("commit"); }
  void OnUndone(std::size_t index, const UndoStep&, int outcome) override {
    m_log.push_back("undone " + std::to_string(index) + " " + std::to_string(outcome));
  }
  void OnEnd(bool committed, bool complete) override {
    m_log.push_back("end " + std::to_string(committed) + std::to_string(complete));
  }
  std::vector<std::string> m_log;
  std::size_t m_refuse = ~std::size_t{0};
};

class UndoRecordTest : public ScratchTemplateTest {};

TEST_F(UndoRecordTest, ObserverIsToldBeforeEveryChangeAndMayRefuseIt) {
  PutFile(m_t + "/old.txt", "old", kOld);
  auto kit = OpenTestKit(m_base / "kit.efd", {{"old.txt", "new"}, {"d\\n.txt", "n"}});
  ASSERT_TRUE(kit);
  RecordingObserver observer;
  InstallJobOptions options;
  options.undoObserver = &observer;
  ASSERT_EQ(RunInstall(*kit, m_t, options).code, kOk);
  // kinds: 3 moved to backup, 2 file written, 1 directory created
  EXPECT_EQ(observer.m_log,
            (std::vector<std::string>{"begin 1", "intent 0 kind 3 exists 1 inode 0",
                                      "done 0 same 1", "intent 1 kind 2 exists 0 inode 0",
                                      "done 1 same 1", "intent 2 kind 1 exists 0 inode 0",
                                      "done 2 same 1", "intent 3 kind 2 exists 0 inode 0",
                                      "done 3 same 1", "commit", "end 11"}));

  // A refused change is not made; the entry fails and the rest is undone.
  PutFile(m_t + "/old.txt", "old", kOld);
  RemoveAll(m_t + "/d");
  const Snapshot before = TakeSnapshot(m_t);
  RecordingObserver refusing;
  refusing.m_refuse = 2;  // the directory d
  options.undoObserver = &refusing;
  const RunResult run = RunInstall(*kit, m_t, options);
  EXPECT_EQ(run.code, kErrInvalidHandle);
  EXPECT_EQ(TakeSnapshot(m_t), before);
  EXPECT_EQ(refusing.m_log.back(), "end 01");
  EXPECT_EQ(refusing.m_log[refusing.m_log.size() - 3], "undone 1 0") << "the new old.txt";
  EXPECT_EQ(refusing.m_log[refusing.m_log.size() - 2], "undone 0 0") << "the original back";
}

TEST_F(UndoRecordTest, StepsFromElsewhereAreUndoneOnlyWhenTheDiskMatches) {
  // Steps as a recovery would read them: the run's files and directory, then
  // the user changed things before the undo.
  PutFile(m_t + "/a.txt", "user a", kOld);
  PutFile(m_t + "/b.txt", "user b", kOld);
  InstallTransaction transaction;
  ASSERT_EQ(transaction.Begin(Wide(m_t + "/")), kOk);
  ASSERT_EQ(transaction.Backup(Wide(m_t + "/a.txt")), kOk);
  ASSERT_EQ(transaction.Backup(Wide(m_t + "/b.txt")), kOk);
  ASSERT_EQ(transaction.EnsureDirectory(Wide(m_t + "/d")), kOk);
  for (const char* name : {"/a.txt", "/b.txt", "/d/n.txt"}) {
    FileHandle fd = kNoFileHandle;
    ASSERT_EQ(transaction.CreateFile(Wide(m_t + name), 0, kKitTime, fd), kOk);
    EXPECT_FALSE(Exists(m_t + name)) << "not under its name before it is complete";
    ASSERT_EQ(transaction.PlaceFile(), kOk);
    close(fd);
  }
  const UndoRecord steps = transaction.record();
  ASSERT_EQ(steps.size(), 6u);
  // The user replaced the run's a.txt with a file of their own (written
  // beside it, then renamed over it, as editors do) and put a file into d;
  // b.txt is left as the run made it.
  PutFile(m_t + "/a.txt.new", "user's new a", kNew);
  ASSERT_EQ(rename((m_t + "/a.txt.new").c_str(), (m_t + "/a.txt").c_str()), 0);
  PutFile(m_t + "/d/theirs.txt", "theirs", kNew);
  std::vector<UndoOutcome> outcomes;
  for (std::size_t i = steps.size(); i-- > 0;) outcomes.push_back(UndoOneStep(steps[i]));
  EXPECT_EQ(outcomes, (std::vector<UndoOutcome>{
                          UndoOutcome::kUndone,     // d/n.txt, the run's
                          UndoOutcome::kUndone,     // b.txt, the run's
                          UndoOutcome::kLeftAlone,  // a.txt, now the user's
                          UndoOutcome::kLeftAlone,  // d, not empty
                          UndoOutcome::kUndone,     // b.txt's original back
                          UndoOutcome::kFailed,     // a.txt's original: its name is taken
                      }));
  EXPECT_EQ(ReadAll(m_t + "/a.txt"), "user's new a");
  EXPECT_EQ(ReadAll(m_t + "/b.txt"), "user b");
  EXPECT_EQ(ReadAll(Narrow(steps[0].backupPath)), "user a") << "the original stays in B";
  EXPECT_EQ(UndoOneStep(steps[1]), UndoOutcome::kNothingToUndo) << "undoing twice is harmless";

  // A step whose change may not have been made (an intent without identity).
  UndoStep intent;
  intent.kind = UndoKind::kFileWritten;
  intent.path = Wide(m_t + "/b.txt");
  EXPECT_EQ(UndoOneStep(intent), UndoOutcome::kLeftAlone);
  EXPECT_EQ(ReadAll(m_t + "/b.txt"), "user b");
  (void)transaction.Rollback(0);
}

TEST_F(UndoRecordTest, NothingIsEverReplacedInTheBackupDirectory) {
  PutFile(m_t + "/a.txt", "user a", kOld);
  auto kit = OpenTestKit(m_base / "kit.efd", {{"n.txt", "n"}, {"a.txt", "kit a"}});
  ASSERT_TRUE(kit);
  const Snapshot before = TakeSnapshot(m_t);
  InstallJobOptions options;
  options.stepHook = [&](InstallStep s, std::size_t, const WideString&) {
    // Something already stands at a.txt's backup name.
    if (s == InstallStep::kBackup) PutFile(m_t + "/.p8stp0/a.txt", "intruder", kOld);
    return kOk;
  };
  const RunResult run = RunInstall(*kit, m_t, options);
  EXPECT_EQ(run.code, kErrNotFound);
  EXPECT_EQ(TakeSnapshot(m_t), before);
}

}  // namespace
}  // namespace veskp8::test
