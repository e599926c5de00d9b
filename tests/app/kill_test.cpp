// The real installer (-Q), killed just before each call it makes that changes
// a file system (kill_points.c counts them), for a small update with its
// backups in each place they can go: the product data directory beside a
// template directory on the disk, the top of a template directory on a tmpfs
// (renames both) and, for a user who cannot write there, the temporary
// directory on a tmpfs (copies). After each kill the next start must give the template
// directory back byte for byte, or complete a committed installation, say
// which in its line, leave nothing behind anywhere, and exit 0. One kill
// lands in the middle of a large file: the process is stopped there, its
// half-written file looked at, and then killed.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <utime.h>

#include <string>
#include <utility>
#include <vector>

#include "app/installer_process.h"
#include "install/engine_test_support.h"

namespace veskp8::test {
namespace {

constexpr time_t kKitTime = 1767225600;
constexpr time_t kOldTime = 946684800;
constexpr std::size_t kBigSize = 3u << 20;  // three 1 MiB writes

void Put(const std::string& path, const std::string& content, time_t when) {
  PutFile(path, content, when);
}

// Where the template directory and the backups go, and as whom the
// installer runs.
struct Place {
  const char* name;
  bool templateOnDisk;  // on the disk (new files under temporary names), or a tmpfs
  bool homeOnTemplateFileSystem;
  bool unprivileged;  // nobody, who may not write at the top of T
};

class KillPointTest : public ::testing::TestWithParam<Place> {
 protected:
  void SetUp() override {
    struct stat st {};
    if (BuiltProgram("veskp8-setup").empty() ||
        stat(BuiltProgram("veskp8-setup").c_str(), &st) != 0 ||
        stat(BuiltProgram("kill_points.so").c_str(), &st) != 0) {
      GTEST_SKIP() << "veskp8-setup or kill_points.so is not built (VESKP8_BIN_DIR)";
    }
    if (geteuid() != 0) GTEST_SKIP() << "mounts two tmpfs";
    ASSERT_TRUE(m_scratch.ok());
    chmod(m_scratch.path().c_str(), 0755);
    m_one = std::make_unique<SmallFileSystem>(m_scratch / "one", "size=32m");
    m_two = std::make_unique<SmallFileSystem>(m_scratch / "two", "size=32m");
    if (!m_one->mounted() || !m_two->mounted()) GTEST_SKIP() << "cannot mount a tmpfs";
    const Place& place = GetParam();
    m_owner = place.unprivileged ? 65534 : 0;
    const std::string tFs = place.templateOnDisk ? "" : "one/";
    m_t = m_scratch / (tFs + "tpl");
    m_home = m_scratch / (place.homeOnTemplateFileSystem ? tFs + "home" : "two/home");
    m_tmp = m_scratch / "two/tmp";
    m_kitDir = m_scratch / "kit";
    for (const std::string& dir :
         {m_home, m_tmp, m_kitDir, m_scratch / "two/other", m_scratch / "count"}) {
      ASSERT_EQ(mkdir(dir.c_str(), 0755), 0) << dir;
      ASSERT_EQ(lchown(dir.c_str(), m_owner, m_owner), 0);
    }
    // The kit: a replaced file, a large replaced file, a new file, a new
    // file in a new directory, and an entry that is older than the user's.
    const std::vector<EntrySpec> kit = {{"sub\\a.txt", "kit a"},
                                        {"sub\\big.bin", std::string(kBigSize, 'k')},
                                        {"sub\\n.txt", "kit n"},
                                        {"sub\\d\\c.txt", "kit c"},
                                        {"sub\\up.txt", "kit up"}};
    ASSERT_TRUE(WriteKit(m_kitDir + "/veskp8.efd", kit));
    chmod((m_kitDir + "/veskp8.efd").c_str(), 0644);
  }

  // The template directory as the user had it; nothing else of earlier runs.
  void Reset() {
    RemoveAll(m_t);
    RemoveAll(m_home + "/.veskp8");
    RemoveAll(m_home + "/.Vesk");
    RemoveAll(m_scratch / "two/other/sub");
    ASSERT_EQ(mkdir(m_t.c_str(), 0755), 0);  // root's: nobody cannot write here
    Put(m_t + "/sub/a.txt", "user a", kOldTime);
    Put(m_t + "/sub/big.bin", std::string(1u << 19, 'o'), kOldTime);
    Put(m_t + "/sub/keep.txt", "keep", kOldTime);
    Put(m_t + "/sub/up.txt", "newer than the kit", kKitTime + 100);
    if (m_owner != 0) GiveToNobody(m_t + "/sub");
  }

  std::vector<std::string> Arguments(const std::string& target) const {
    std::vector<std::string> arguments;
    if (m_owner != 0) {
      arguments = {"--reuid=65534", "--regid=65534", "--clear-groups", "--",
                   BuiltProgram("veskp8-setup")};
    }
    arguments.insert(arguments.end(), {"usecwd", "-Q", "-D" + target});
    return arguments;
  }
  std::string Program() const {
    return m_owner != 0 ? "/usr/bin/setpriv" : BuiltProgram("veskp8-setup");
  }
  std::vector<std::string> Settings(const std::vector<std::string>& extra = {}) const {
    std::vector<std::string> settings = {"HOME=" + m_home, "TMPDIR=" + m_tmp, "LC_ALL=C", "LANG=C"};
    settings.insert(settings.end(), extra.begin(), extra.end());
    return settings;
  }
  // The counter preloaded (in a sanitizer build beside the sanitizer's
  // runtime, which then need not come first).
  std::vector<std::string> Preload(const std::string& setting) const {
    const char* asan = std::getenv("ASAN_OPTIONS");
    return Settings(
        {"LD_PRELOAD=" + BuiltProgram("kill_points.so"), setting,
         "ASAN_OPTIONS=" + std::string(asan != nullptr ? asan : "") + ":verify_asan_link_order=0"});
  }

  // The next start: recovers, then installs into another directory.
  ProgramRun NextStart() const {
    return RunProgram(Program(), Arguments(m_scratch / "two/other"), Settings(), m_kitDir);
  }

  // Nothing of any run anywhere: backups, journals, lists, temporary names.
  void ExpectNothingLeft() const {
    EXPECT_EQ(BackupDirsAnywhere(m_tmp, m_home, m_t), std::vector<std::string>{});
    EXPECT_EQ(DirectoryNames(m_home + "/.veskp8/journal"), std::vector<std::string>{});
    EXPECT_EQ(DirectoryNames(m_tmp), std::vector<std::string>{});
    for (const std::string& name : DirectoryNames(m_home + "/.veskp8")) {
      EXPECT_TRUE(name == "journal" || name == "locks" || name.rfind("p8stp", 0) == 0) << name;
    }
    for (const auto& [name, node] : TakeSnapshot(m_t)) {
      EXPECT_EQ(name.find(".veskp8-"), std::string::npos) << name;
    }
  }

  // The large new file standing half written: under its temporary name on
  // the disk, under its own on a tmpfs.
  bool HalfWrittenTemporary() const {
    for (const std::string& name : DirectoryNames(m_t + "/sub")) {
      struct stat st {};
      if ((name.rfind(".veskp8-new-", 0) == 0) == GetParam().templateOnDisk &&
          lstat((m_t + "/sub/" + name).c_str(), &st) == 0 && st.st_size >= (1 << 20) &&
          static_cast<std::size_t>(st.st_size) < kBigSize) {
        return true;
      }
    }
    return false;
  }

  // Checks the next start after an interrupted run, given the states before
  // and after a complete installation.
  void ExpectRecovered(const Snapshot& before, const Snapshot& installed) {
    const ProgramRun next = NextStart();
    EXPECT_TRUE(WIFEXITED(next.status) && WEXITSTATUS(next.status) == 0) << next.err;
    const Snapshot now = TakeSnapshot(m_t);
    const std::string restored = "An earlier installation into " + m_t +
                                 " was interrupted. The directory has been restored.\n";
    const std::string completed = "An earlier installation into " + m_t +
                                  " was interrupted while it was being completed. It has now "
                                  "been completed.\n";
    if (now == before) {
      EXPECT_TRUE(next.err.empty() || next.err == restored) << next.err;
    } else {
      EXPECT_TRUE(now == installed) << "neither as before nor installed";
      EXPECT_TRUE(next.err.empty() || next.err == completed) << next.err;
    }
    ExpectNothingLeft();
  }

  ScratchDir m_scratch{"/var/tmp"};
  std::unique_ptr<SmallFileSystem> m_one, m_two;
  uid_t m_owner = 0;
  std::string m_t, m_home, m_tmp, m_kitDir;
};

TEST_P(KillPointTest, KillBeforeEveryChangeIsUndoneOrCompleted) {
  Reset();
  const Snapshot before = TakeSnapshot(m_t);
  const std::string countFile = m_scratch / "count/calls";
  const ProgramRun full =
      RunProgram(Program(), Arguments(m_t), Preload("VESKP8_KILL_COUNT=" + countFile), m_kitDir);
  ASSERT_TRUE(WIFEXITED(full.status) && WEXITSTATUS(full.status) == 0) << full.err;
  ASSERT_EQ(full.out.rfind("new=2 replaced=2 unchanged=1 registered=yes", 0), 0u) << full.out;
  const Snapshot installed = TakeSnapshot(m_t);
  ExpectNothingLeft();
  const int points = std::stoi(ReadAll(countFile));
  ASSERT_GT(points, 20);

  int midWrite = 0;
  for (int killAt = 1; killAt <= points; ++killAt) {
    SCOPED_TRACE("killed before change " + std::to_string(killAt) + " of " +
                 std::to_string(points));
    Reset();
    const ProgramRun killed = RunProgram(
        Program(), Arguments(m_t), Preload("VESKP8_KILL_AT=" + std::to_string(killAt)), m_kitDir);
    ASSERT_TRUE(WIFSIGNALED(killed.status) && WTERMSIG(killed.status) == SIGKILL)
        << killed.status << killed.err;
    if (midWrite == 0 && HalfWrittenTemporary()) midWrite = killAt;
    ExpectRecovered(before, installed);
    if (HasFailure()) return;
  }

  // Stopped in the middle of the large file, looked at, then killed.
  ASSERT_GT(midWrite, 0) << "no kill landed inside the large file";
  Reset();
  ChildProgram child(Program(), Arguments(m_t),
                     Preload("VESKP8_STOP_AT=" + std::to_string(midWrite)), m_kitDir);
  ASSERT_GT(child.pid(), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child.pid(), &status, WUNTRACED), child.pid());
  ASSERT_TRUE(WIFSTOPPED(status));
  EXPECT_TRUE(HalfWrittenTemporary());
  if (GetParam().templateOnDisk) {
    EXPECT_EQ(ReadAll(m_t + "/sub/big.bin"), "") << "its name free, the original in the backups";
  }
  ASSERT_EQ(kill(child.pid(), SIGKILL), 0);
  const ProgramRun stopped = child.Wait();
  ASSERT_TRUE(WIFSIGNALED(stopped.status));
  ExpectRecovered(before, installed);
  EXPECT_EQ(TakeSnapshot(m_t), before);
}

INSTANTIATE_TEST_SUITE_P(
    Backups, KillPointTest,
    ::testing::Values(Place{"ProductDataDirectoryOnDisk", true, true, false},
                      Place{"TopOfTemplateDirectoryOnTmpfs", false, false, false},
                      Place{"TemporaryDirectoryElsewhere", true, false, true}),
    [](const ::testing::TestParamInfo<Place>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace veskp8::test
