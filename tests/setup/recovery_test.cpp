// Recovery after a kill: a child process runs the real engine with a journal
// into a real template directory and is SIGKILLed at every step of a mixed
// kit (replacements, new files in new and existing directories, a link
// replaced by a file, an up-to-date file), with the backups on the same and
// on another file system; the next start's recovery must give back the
// template directory byte for byte, leave nothing behind and say so once.
// Journals cut at every record boundary or torn must never make things
// worse, and a file the user changed after the crash stays and is reported.
#include <signal.h>
#include <sys/file.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "install/engine_test_support.h"
#include "install/install_journal.h"
#include "setup/journal_recovery.h"
#include "resources/resource_table.h"

namespace veskp8::test {
namespace {

const std::vector<EntrySpec> kMixedKit = {
    {"a.txt", "kit a"},
    {"new.txt", "kit new"},
    {"sub\\b.txt", "kit b"},
    {"sub\\n.txt", "kit n"},
    {"up.txt", "kit up"},
    {"lnk", "kit lnk"},
    {"sub2\\deep\\c.txt", "kit c"},
    {"sub2\\d.txt", std::string(3 << 20, 'd')},
};

// The differences between two snapshots, one name per line; empty when equal.
std::string Diff(const Snapshot& got, const Snapshot& want) {
  std::string out;
  auto describe = [](const Node& n) {
    return std::to_string(n.mode) + " " + std::to_string(n.size) + " " +
           std::to_string(n.mtimeSec) + "." + std::to_string(n.mtimeNsec) + " '" +
           n.content.substr(0, 20) + "'";
  };
  std::set<std::string> names;
  for (const auto& [name, node] : got) names.insert(name);
  for (const auto& [name, node] : want) names.insert(name);
  for (const std::string& name : names) {
    const auto g = got.find(name);
    const auto w = want.find(name);
    if (g != got.end() && w != want.end() && g->second == w->second) continue;
    out += name + ": " + (g == got.end() ? "missing" : describe(g->second)) + " instead of " +
           (w == want.end() ? "missing" : describe(w->second)) + "\n";
  }
  return out;
}

// How a child ended.
struct ChildRun {
  bool killed = false;
  int exitCode = -1;
};

class RecoveryTest : public ::testing::Test {
 protected:
  void Prepare(const std::string& tmpParent) {
    ASSERT_TRUE(m_base.ok());
    m_tmpBase = std::make_unique<ScratchDir>(tmpParent);
    ASSERT_TRUE(m_tmpBase->ok());
    m_tmp = m_tmpBase->path();
    m_home = m_base / "home";
    m_t = m_base / "tpl";
    m_kitPath = m_base / "veskp8.efd";
    mkdir(m_home.c_str(), 0700);
    m_env.push_back(std::make_unique<ScopedEnv>("HOME", m_home));
    m_env.push_back(std::make_unique<ScopedEnv>("TMPDIR", m_tmp));
    ASSERT_TRUE(WriteKit(m_kitPath, kMixedKit));
  }

  // The template directory as the user had it.
  void MakeTemplate() {
    RemoveAll(m_t);
    mkdir(m_t.c_str(), 0755);
    PutFile(m_t + "/a.txt", "original a", kOld);
    PutFile(m_t + "/sub/b.txt", "original b", kOld, 0600);
    PutFile(m_t + "/keep.txt", "keep", kOld);
    PutFile(m_t + "/up.txt", "newer than the kit", kNew);
    ASSERT_EQ(symlink("a.txt", (m_t + "/lnk").c_str()), 0);
    SetTimes(m_t + "/lnk", kOld);
  }

  // Runs the engine with a journal in a child. Every step hook call and
  // every journal record counts as one point; at point `killAt` the child
  // kills itself. `failAtLast` makes the last entry fail (a rollback
  // follows); `rollbackSignal` gets one byte when the rollback begins.
  ChildRun RunChild(int killAt, bool failAtLast = false, int rollbackSignal = -1,
                    int* pointsOut = nullptr, int* commitPointOut = nullptr,
                    const std::function<void(pid_t)>& whileRunning = {},
                    int killAfterWriting = -1) {
    int counter[2];
    if (pointsOut != nullptr && pipe(counter) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
      int points = 0;
      int commitPoint = 0;
      auto point = [&] {
        if (++points == killAt) raise(SIGKILL);
      };
      auto kit = std::make_unique<KitArchive>();
      if (OpenKit(*kit, Wide(m_kitPath)) != 0) _exit(3);
      InstallJournal journal;
      journal.recordHook = [&](JournalRecordType type) {
        point();
        if (type == JournalRecordType::kCommit) commitPoint = points;
        if (type == JournalRecordType::kRollback && rollbackSignal >= 0) {
          (void)!write(rollbackSignal, "r", 1);
        }
      };
      InstallJobOptions options;
      options.journal = &journal;
      options.backupsInTemporaryDirectory = m_backupsInTmp;
      const std::size_t last = kMixedKit.size() - 1;
      options.stepHook = [&](InstallStep step, std::size_t index, const WideString&) {
        point();
        if (step == InstallStep::kWritten && static_cast<int>(index) == killAfterWriting) {
          raise(SIGKILL);
        }
        return failAtLast && index == last && step == InstallStep::kWritten ? kErrInvalidParameter
                                                                            : kOk;
      };
      const RunResult result = RunInstall(*kit, m_t + "/", options);
      if (result.code == kOk) {
        point();  // the success is known; registration comes next
        journal.Finish();
      }
      if (pointsOut != nullptr) {
        const int values[2] = {points, commitPoint};
        (void)!write(counter[1], values, sizeof values);
      }
      _exit(result.code == kOk ? 0 : 1);
    }
    if (pointsOut != nullptr) close(counter[1]);
    if (rollbackSignal >= 0) close(rollbackSignal);
    if (whileRunning) whileRunning(pid);
    ChildRun run;
    int status = 0;
    if (pointsOut != nullptr) {
      int values[2] = {0, 0};
      EXPECT_EQ(read(counter[0], values, sizeof values), static_cast<ssize_t>(sizeof values));
      close(counter[0]);
      *pointsOut = values[0];
      if (commitPointOut != nullptr) *commitPointOut = values[1];
    }
    if (waitpid(pid, &status, 0) != pid) return run;
    run.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
  }

  std::string JournalDir() const { return m_home + "/.veskp8/journal"; }

  std::vector<std::string> Journals() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(JournalDir(), ec)) {
      names.push_back(e.path().filename().string());
    }
    return names;
  }

  // Leftovers of a run anywhere: backup directories, journals, move
  // temporaries in the template directory.
  void ExpectNoLeftovers() {
    EXPECT_TRUE(BackupDirsAnywhere(m_tmp, m_home, m_t).empty());
    EXPECT_TRUE(Journals().empty());
    for (const auto& [name, node] : TakeSnapshot(m_t)) {
      EXPECT_EQ(name.find(".veskp8-"), std::string::npos) << name;
    }
  }

  // Where the backups of a run go.
  std::string BackupParent() const { return m_backupsInTmp ? m_tmp : m_home + "/.veskp8"; }

  std::string RegisteredList() const {
    return ReadAll(m_home + "/.Vesk/vesklaunch/vesklaunch.cfg");
  }

  ScratchDir m_base{"/var/tmp"};
  std::unique_ptr<ScratchDir> m_tmpBase;
  std::vector<std::unique_ptr<ScopedEnv>> m_env;
  std::string m_tmp, m_home, m_t, m_kitPath;
  // Backups in TMPDIR (another file system) instead of beside the templates.
  bool m_backupsInTmp = false;
};

// Kills at every point of an installation that succeeds, with the backups
// on the template directory's file system and on a tmpfs.
TEST_F(RecoveryTest, KillAtEveryStepIsUndoneOrCompletedExactly) {
  for (const std::string tmpParent : {"/var/tmp", "/dev/shm"}) {
    SCOPED_TRACE(tmpParent);
    m_env.clear();
    m_backupsInTmp = tmpParent == "/dev/shm";
    Prepare(tmpParent);
    MakeTemplate();
    const Snapshot before = TakeSnapshot(m_t);
    int points = 0;
    int commitPoint = 0;
    ASSERT_EQ(RunChild(0, false, -1, &points, &commitPoint).exitCode, 0);
    const Snapshot installed = TakeSnapshot(m_t);
    ASSERT_NE(installed, before);
    ASSERT_GT(commitPoint, 10);
    ASSERT_TRUE(Journals().empty());

    for (int killAt = 1; killAt <= points; ++killAt) {
      SCOPED_TRACE("killed at point " + std::to_string(killAt) + " of " + std::to_string(points));
      MakeTemplate();
      std::filesystem::remove(m_home + "/.Vesk/vesklaunch/vesklaunch.cfg");
      ASSERT_TRUE(RunChild(killAt).killed);
      ASSERT_EQ(Journals().size(), 1u);

      const RecoveryOutcome outcome = RecoverInterruptedInstallations();
      if (outcome.notices.empty()) {
        // Cut off before its first change: nothing to undo, nothing to tell.
        EXPECT_EQ(Diff(TakeSnapshot(m_t), before), "");
        ExpectNoLeftovers();
        continue;
      }
      ASSERT_EQ(outcome.notices.size(), 1u);
      const RecoveryNotice& notice = outcome.notices[0];
      EXPECT_EQ(notice.templateDirectory, Wide(m_t + "/"));
      EXPECT_TRUE(notice.affected.empty());
      if (killAt >= commitPoint) {
        EXPECT_EQ(notice.result, RecoveryResult::kCompleted);
        EXPECT_EQ(Diff(TakeSnapshot(m_t), installed), "");
        EXPECT_NE(RegisteredList().find("ConfigurationTemplatesLocation=" + m_t + "\n"),
                  std::string::npos);
      } else {
        EXPECT_EQ(notice.result, RecoveryResult::kRestored);
        EXPECT_EQ(Diff(TakeSnapshot(m_t), before), "");
      }
      ExpectNoLeftovers();
      if (HasFailure()) return;
      // Told once: the next start finds nothing to do.
      EXPECT_TRUE(RecoverInterruptedInstallations().notices.empty());
    }
  }
}

// A kill after each step of the rollback that follows a failure, with the
// moves back crossing file systems.
TEST_F(RecoveryTest, KillDuringRollbackIsFinished) {
  m_backupsInTmp = true;
  Prepare("/dev/shm");
  MakeTemplate();
  const Snapshot before = TakeSnapshot(m_t);
  int points = 0;
  ASSERT_EQ(RunChild(0, true, -1, &points).exitCode, 1);
  // The rollback's points are the last ones: find where it begins.
  int firstUndo = 0;
  for (int killAt = points; killAt > 0 && firstUndo == 0; --killAt) {
    MakeTemplate();
    int signal[2];
    ASSERT_EQ(pipe(signal), 0);
    bool rolling = false;
    const ChildRun run = RunChild(killAt, true, signal[1], nullptr, nullptr, [&](pid_t) {
      char byte = 0;
      rolling = read(signal[0], &byte, 1) == 1;
      close(signal[0]);
    });
    ASSERT_TRUE(run.killed);
    if (!rolling) firstUndo = killAt;  // killed right after the first step undone
    (void)RecoverInterruptedInstallations();
  }
  ASSERT_GT(firstUndo, 0);
  ASSERT_GE(points - firstUndo, 6);  // a step for each change of the kit at least
  for (int killAt = firstUndo; killAt <= points; ++killAt) {
    SCOPED_TRACE("killed at point " + std::to_string(killAt) + " of " + std::to_string(points));
    MakeTemplate();
    ASSERT_TRUE(RunChild(killAt, true).killed);
    ASSERT_EQ(Journals().size(), 1u);
    const RecoveryOutcome outcome = RecoverInterruptedInstallations();
    ASSERT_EQ(outcome.notices.size(), 1u);
    EXPECT_EQ(outcome.notices[0].result, RecoveryResult::kRestored);
    EXPECT_EQ(Diff(TakeSnapshot(m_t), before), "");
    ExpectNoLeftovers();
    if (HasFailure()) return;
  }
}

// The bytes of the one journal in `dir`, and its path.
std::string OnlyJournal(const std::string& dir, std::string& path) {
  for (const auto& e : std::filesystem::directory_iterator(dir)) path = e.path().string();
  return ReadAll(path);
}

// Where each record of `bytes` ends.
std::vector<std::size_t> RecordEnds(const std::string& bytes) {
  std::vector<std::size_t> ends;
  std::string again;
  for (const JournalRecord& record : DecodeJournal(bytes).records) {
    AppendJournalRecord(record, again);
    ends.push_back(again.size());
  }
  return ends;
}

TEST(JournalFormat, TornAndDamagedTailsEndTheJournalThere) {
  std::string bytes;
  JournalRecord header;
  header.type = JournalRecordType::kHeader;
  header.version = 1;
  header.templateDirectory = "/t/";
  AppendJournalRecord(header, bytes);
  JournalRecord intent;
  intent.type = JournalRecordType::kIntent;
  intent.path = "/t/a";
  intent.backupPath = "/b/a";
  intent.identity.kind = JournalKind::kRegular;
  intent.identity.inode = 77;
  intent.expectedSize = 5;
  AppendJournalRecord(intent, bytes);
  JournalRecord made;
  made.type = JournalRecordType::kFileMade;
  made.path = "/t/a";
  AppendJournalRecord(made, bytes);
  const std::vector<std::size_t> ends = RecordEnds(bytes);
  ASSERT_EQ(ends.size(), 3u);
  ASSERT_EQ(ends.back(), bytes.size());
  EXPECT_EQ(DecodeJournal(bytes).records[1].identity, intent.identity);
  // Every cut keeps exactly the records that are complete; a cut inside one
  // is torn.
  for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
    const JournalContents c = DecodeJournal(bytes.substr(0, cut));
    std::size_t complete = 0;
    while (complete < ends.size() && ends[complete] <= cut) ++complete;
    EXPECT_EQ(c.records.size(), complete) << cut;
    EXPECT_EQ(c.torn, complete == 0 ? cut != 0 : cut != ends[complete - 1]) << cut;
    EXPECT_EQ(c.parsable, complete != 0) << cut;
  }
  // A changed byte anywhere in a record ends the journal before it.
  for (std::size_t i = ends[0]; i < bytes.size(); ++i) {
    std::string damaged = bytes;
    damaged[i] = static_cast<char>(damaged[i] ^ 0x20);
    const JournalContents c = DecodeJournal(damaged);
    EXPECT_LT(c.records.size(), 3u) << i;
    EXPECT_TRUE(c.torn) << i;
  }
  std::string foreign = bytes;
  foreign[8 + 1] = 2;  // another format version
  foreign.replace(4, 4, std::string(4, '\0'));
  EXPECT_FALSE(DecodeJournal(foreign).parsable);
}

// Journals cut at every record boundary, torn inside the next record, or
// with a damaged last record: recovery never makes the state it finds worse.
// Each name ends as it was found or as it was before the installation, and
// every original is in the template directory or still in the backups.
TEST_F(RecoveryTest, CutOrTornJournalNeverMakesThingsWorse) {
  Prepare("/var/tmp");
  MakeTemplate();
  const Snapshot before = TakeSnapshot(m_t);
  int points = 0;
  int commitPoint = 0;
  ASSERT_EQ(RunChild(0, false, -1, &points, &commitPoint).exitCode, 0);
  const int killAt = commitPoint - 1;  // every entry written, not committed
  std::size_t records = 0;
  for (std::size_t keep = 0;; ++keep) {
    for (int variant = 0; variant < 3; ++variant) {
      SCOPED_TRACE("records kept " + std::to_string(keep) + ", variant " + std::to_string(variant));
      MakeTemplate();
      ASSERT_TRUE(RunChild(killAt).killed);
      std::string path;
      std::string bytes = OnlyJournal(JournalDir(), path);
      const std::vector<std::size_t> ends = RecordEnds(bytes);
      records = ends.size();
      ASSERT_GT(records, 15u);
      std::size_t cut = keep == 0 ? 0 : ends[std::min(keep, records) - 1];
      if (variant == 1 && keep < records) cut += (ends[keep] - cut) / 2;  // torn next record
      bytes.resize(cut);
      if (variant == 2 && keep > 1) bytes[cut - 3] = static_cast<char>(bytes[cut - 3] ^ 1);
      ASSERT_TRUE(WriteText(path, bytes));
      const Snapshot found = TakeSnapshot(m_t);
      const std::vector<std::string> backups = BackupDirs(BackupParent());
      ASSERT_EQ(backups.size(), 1u);
      const std::string backup = BackupParent() + "/" + backups[0];

      const RecoveryOutcome outcome = RecoverInterruptedInstallations();
      // A journal cut before its first change says nothing; an unreadable
      // one is set aside and said.
      const JournalContents left = DecodeJournal(bytes);
      const bool changes =
          !left.parsable || std::any_of(left.records.begin(), left.records.end(), [](auto& r) {
            return r.type != JournalRecordType::kHeader &&
                   r.type != JournalRecordType::kBackupDirectory &&
                   r.type != JournalRecordType::kRollback;
          });
      ASSERT_EQ(outcome.notices.size(), changes ? 1u : 0u);
      const Snapshot after = TakeSnapshot(m_t);
      const Snapshot kept = TakeSnapshot(backup);
      std::set<std::string> names;
      for (const Snapshot* s : {&before, &found, &after}) {
        for (const auto& [name, node] : *s) names.insert(name);
      }
      for (const std::string& name : names) {
        const auto a = after.find(name);
        const auto f = found.find(name);
        const auto b = before.find(name);
        const bool asFound = (a == after.end()) == (f == found.end()) &&
                             (a == after.end() || a->second == f->second);
        const bool asBefore = (a == after.end()) == (b == before.end()) &&
                              (a == after.end() || a->second == b->second);
        EXPECT_TRUE(asFound || asBefore) << name;
      }
      for (const auto& [name, node] : before) {
        if (name.ends_with("/")) continue;
        const bool inPlace = after.count(name) != 0 && after.at(name) == node;
        const bool inBackup = kept.count(name) != 0 && kept.at(name) == node;
        EXPECT_TRUE(inPlace || inBackup) << name << " lost";
      }
      if (keep >= records && variant == 0) {
        EXPECT_EQ(outcome.notices[0].result, RecoveryResult::kRestored);
        EXPECT_EQ(Diff(after, before), "");
      }
      // Start afresh for the next cut.
      RemoveAll(backup);
      std::filesystem::remove_all(JournalDir());
      if (HasFailure()) return;
    }
    if (keep >= records) break;
  }
}

// A file the user changed after the crash stays as the user left it and is
// reported; its original stays in the kept backup directory.
TEST_F(RecoveryTest, FileChangedAfterTheCrashIsLeftAndReported) {
  Prepare("/var/tmp");
  MakeTemplate();
  const Snapshot before = TakeSnapshot(m_t);
  ASSERT_TRUE(RunChild(0, false, -1, nullptr, nullptr, {}, 2).killed);  // after sub\b.txt
  {
    std::ofstream edit(m_t + "/sub/b.txt", std::ios::binary | std::ios::trunc);
    edit << "the user's own text";
  }
  const RecoveryOutcome outcome = RecoverInterruptedInstallations();
  ASSERT_EQ(outcome.notices.size(), 1u);
  const RecoveryNotice& notice = outcome.notices[0];
  EXPECT_EQ(notice.result, RecoveryResult::kIncomplete);
  ASSERT_EQ(notice.affected.size(), 1u);
  EXPECT_EQ(notice.affected[0], Wide(m_t + "/sub/b.txt"));
  EXPECT_EQ(ReadAll(m_t + "/sub/b.txt"), "the user's own text");
  ASSERT_FALSE(notice.backupDirectory.empty());
  const std::string backup = Narrow(notice.backupDirectory);
  EXPECT_EQ(ReadAll(backup + "sub/b.txt"), "original b");
  // Everything else is back as it was.
  Snapshot now = TakeSnapshot(m_t);
  Snapshot expected = before;
  now.erase("sub/b.txt");
  expected.erase("sub/b.txt");
  EXPECT_EQ(Diff(now, expected), "");
  // The list names it, and so does the message (in the current language).
  const std::string list = Narrow(notice.listFile);
  EXPECT_TRUE(list.starts_with(m_home + "/.veskp8/unrestored-")) << list;
  EXPECT_EQ(ReadAll(list), m_t + "/sub/b.txt\n");
  const std::string message = Narrow(RecoveryMessage(notice));
  EXPECT_NE(message.find("sub/b.txt"), std::string::npos) << message;
  EXPECT_NE(message.find(list), std::string::npos) << message;
  EXPECT_NE(message.find(m_t), std::string::npos) << message;
  EXPECT_TRUE(Journals().empty());
  EXPECT_TRUE(RecoverInterruptedInstallations().notices.empty());
}

// Rewrites the journal at `path` through `change` (records decoded, changed,
// encoded again).
void RewriteJournal(const std::string& path, const std::function<void(JournalRecord&)>& change) {
  JournalContents contents = DecodeJournal(ReadAll(path));
  std::string bytes;
  for (JournalRecord& record : contents.records) {
    change(record);
    AppendJournalRecord(record, bytes);
  }
  ASSERT_TRUE(WriteText(path, bytes));
}

// A journal from an earlier boot whose backups lay on a tmpfs: whatever is
// in that directory now is not taken for the originals (it is left alone),
// the kit's files that replaced them stay and are reported, new ones go. A
// journal from another host whose backup directory is not here is left.
TEST_F(RecoveryTest, EarlierBootOnTmpfsAndOtherHostAreNotTrusted) {
  m_backupsInTmp = true;  // the last resort: nowhere else to put them
  Prepare("/dev/shm");
  MakeTemplate();
  ASSERT_TRUE(RunChild(0, false, -1, nullptr, nullptr, {}, 2).killed);  // after sub\\b.txt
  std::string path;
  (void)OnlyJournal(JournalDir(), path);
  const std::vector<std::string> backups = BackupDirs(m_tmp);
  ASSERT_EQ(backups.size(), 1u);
  const std::string backup = m_tmp + "/" + backups[0];
  const Snapshot kept = TakeSnapshot(backup);
  ASSERT_EQ(kept.count("a.txt"), 1u);

  // Another host, its backup directory elsewhere: not touched at all.
  const Snapshot found = TakeSnapshot(m_t);
  RewriteJournal(path, [](JournalRecord& record) {
    if (record.type == JournalRecordType::kHeader) record.host = "elsewhere";
    if (record.type == JournalRecordType::kBackupDirectory) ++record.identity.inode;
  });
  RecoveryOutcome outcome = RecoverInterruptedInstallations();
  EXPECT_TRUE(outcome.notices.empty());
  EXPECT_EQ(outcome.journalsLeft, 1u);
  EXPECT_EQ(Diff(TakeSnapshot(m_t), found), "");

  // This host, but an earlier boot: the tmpfs backups cannot be the ones
  // recorded, even with the recorded device and inode.
  RewriteJournal(path, [](JournalRecord& record) {
    if (record.type == JournalRecordType::kHeader) {
      record.host = CurrentHostName();
      record.bootId = "00000000-0000-0000-0000-000000000000";
    }
    if (record.type == JournalRecordType::kBackupDirectory) --record.identity.inode;
  });
  outcome = RecoverInterruptedInstallations();
  ASSERT_EQ(outcome.notices.size(), 1u);
  const RecoveryNotice& notice = outcome.notices[0];
  EXPECT_EQ(notice.result, RecoveryResult::kIncomplete);
  std::set<std::string> affected;
  for (const WideString& p : notice.affected) affected.insert(Narrow(p));
  EXPECT_EQ(affected, (std::set<std::string>{m_t + "/a.txt", m_t + "/sub/b.txt"}));
  EXPECT_EQ(ReadAll(m_t + "/a.txt"), "kit a");  // the only version left here
  EXPECT_EQ(ReadAll(m_t + "/sub/b.txt"), "kit b");
  EXPECT_FALSE(std::filesystem::exists(m_t + "/new.txt"));  // the installer's own: gone
  EXPECT_EQ(Diff(TakeSnapshot(backup), kept), "");          // not acted on
  EXPECT_TRUE(Journals().empty());
}

// A journal whose owner is alive is never acted on; one that cannot be read
// is set aside once.
TEST_F(RecoveryTest, LiveJournalIsLeftAndDamagedOneSetAsideOnce) {
  Prepare("/var/tmp");
  MakeTemplate();
  int go[2];
  int ready[2];
  ASSERT_EQ(pipe(go), 0);
  ASSERT_EQ(pipe(ready), 0);
  const pid_t owner = fork();
  if (owner == 0) {
    InstallJournal journal;
    const bool opened = journal.Open(Wide(m_t + "/"));
    (void)!write(ready[1], opened ? "y" : "n", 1);
    char byte;
    (void)!read(go[0], &byte, 1);
    _exit(0);  // dies without finishing: the journal stays, unlocked
  }
  char answer = 0;
  ASSERT_EQ(read(ready[0], &answer, 1), 1);
  ASSERT_EQ(answer, 'y');
  ASSERT_TRUE(WriteText(JournalDir() + "/zz.jnl", "not a journal at all"));

  RecoveryOutcome outcome = RecoverInterruptedInstallations();
  EXPECT_EQ(outcome.journalsLeft, 1u);
  ASSERT_EQ(outcome.notices.size(), 1u);
  EXPECT_EQ(outcome.notices[0].result, RecoveryResult::kDamaged);
  EXPECT_EQ(Narrow(outcome.notices[0].listFile), JournalDir() + "/zz.jnl.damaged");
  EXPECT_EQ(ReadAll(JournalDir() + "/zz.jnl.damaged"), "not a journal at all");

  (void)!write(go[1], "x", 1);
  int status = 0;
  waitpid(owner, &status, 0);
  outcome = RecoverInterruptedInstallations();
  EXPECT_EQ(outcome.journalsLeft, 0u);
  EXPECT_TRUE(outcome.notices.empty()) << "it changed nothing: removed without a word";
  EXPECT_TRUE(Journals() == std::vector<std::string>{"zz.jnl.damaged"});
}

}  // namespace
}  // namespace veskp8::test
