// Runs that configuration management repeats, through the real veskp8-setup
// -Q without a display: a re-run of a kit with sub-second times changes
// nothing on tmpfs, ext4, xfs and FAT; --dry-run predicts the installation
// file for file and changes nothing; --verify and --repair; the command-line
// errors of the unattended mode.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/installer_process.h"
#include "install/fs/fs_test_support.h"

namespace veskp8::test {
namespace {

// The kit's time: an odd second (FAT keeps the even one before it) and a
// half, as a kit packed from ext4 carries it.
constexpr time_t kKitSecond = 1767225601;
constexpr long kKitNanoseconds = 500'000'000;

using Files = std::vector<std::pair<std::string, std::string>>;

void SetTime(const std::string& path, time_t seconds, long nanoseconds = 0) {
  const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

int Status(const ProgramRun& run) {
  return WIFEXITED(run.status) ? WEXITSTATUS(run.status) : -1000 - run.status;
}

// The system program `name` from the usual directories; empty when absent.
std::string Tool(const std::string& name) {
  for (const char* dir : {"/usr/sbin/", "/sbin/", "/usr/bin/", "/bin/"}) {
    if (access((dir + name).c_str(), X_OK) == 0) return dir + name;
  }
  return std::string();
}

bool Succeeded(const ProgramRun& run) {
  return WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0;
}

// Everything below `root` as text per path: kind, size, times, inode and the
// bytes of files, so that any change made below it shows.
std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> result;
  std::function<void(const std::string&)> walk = [&](const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return;
    std::string text = std::to_string(st.st_mode) + " " + std::to_string(st.st_size) + " " +
                       std::to_string(st.st_mtim.tv_sec) + "." +
                       std::to_string(st.st_mtim.tv_nsec) + " " + std::to_string(st.st_ino);
    if (S_ISREG(st.st_mode)) text += " " + ReadText(path);
    result[path] = text;
    if (!S_ISDIR(st.st_mode)) return;
    if (DIR* d = opendir(path.c_str())) {
      std::vector<std::string> names;
      while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
      }
      closedir(d);
      for (const std::string& name : names) walk(path + "/" + name);
    }
  };
  walk(root);
  return result;
}

// A file system on `dir` for one test: a tmpfs, or an image of `type` on a
// loop device. FAT is mounted by the kernel's vfat, or else through FUSE
// (fusefat) where the kernel has no vfat.
class TestFileSystem {
 public:
  TestFileSystem(const std::string& type, const std::string& image, const std::string& dir)
      : m_type(type), m_dir(dir) {
    m_failure = Make(image);
  }
  ~TestFileSystem() {
    if (m_mounted && umount2(m_dir.c_str(), 0) != 0) umount2(m_dir.c_str(), MNT_DETACH);
    if (!m_device.empty()) (void)RunProgram(Tool("losetup"), {"-d", m_device});
  }
  TestFileSystem(const TestFileSystem&) = delete;
  TestFileSystem& operator=(const TestFileSystem&) = delete;

  const std::string& failure() const { return m_failure; }

  // Unmounts and mounts again, so that every time is read back from the disk;
  // false where that is not possible (tmpfs, FUSE) or failed.
  bool Remount() {
    if (m_type == "tmpfs" || m_fuse) return false;
    m_mounted = umount2(m_dir.c_str(), 0) != 0;
    return !m_mounted && Mount();
  }

 private:
  // Makes and mounts the file system; what failed, or empty.
  std::string Make(const std::string& image) {
    if (mkdir(m_dir.c_str(), 0755) != 0) return "mkdir";
    if (m_type == "tmpfs") {
      if (mount("tmpfs", m_dir.c_str(), "tmpfs", 0, "size=16m") != 0) return "mount tmpfs";
      m_mounted = true;
      return std::string();
    }
    const int fd = open(image.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    // xfs wants at least 300 MiB; the image is sparse.
    const off_t size = off_t{m_type == "xfs" ? 320 : 64} << 20;
    const bool sized = fd >= 0 && ftruncate(fd, size) == 0;
    if (fd >= 0) close(fd);
    if (!sized) return "image";
    const std::string mkfs = Tool("mkfs." + m_type);
    std::vector<std::string> arguments;
    if (m_type == "ext4") arguments = {"-q", "-F"};
    if (m_type == "xfs") arguments = {"-q", "-f"};
    arguments.push_back(image);
    if (mkfs.empty() || !Succeeded(RunProgram(mkfs, arguments))) return "mkfs." + m_type;
    const ProgramRun loop = RunProgram(Tool("losetup"), {"-f", "--show", image});
    if (!Succeeded(loop)) return "losetup " + loop.err;
    m_device = loop.out.substr(0, loop.out.find('\n'));
    if (!Mount()) return "mount " + m_type + ": " + std::strerror(errno);
    return std::string();
  }

  bool Mount() {
    if (mount(m_device.c_str(), m_dir.c_str(), m_type.c_str(), 0, nullptr) == 0) {
      return m_mounted = true;
    }
    if (m_type != "vfat" || errno != ENODEV || Tool("fusefat").empty()) return false;
    m_fuse = Succeeded(RunProgram(Tool("fusefat"), {"-o", "rw+", m_device, m_dir}));
    return m_mounted = m_fuse;
  }
  std::string m_type;
  std::string m_dir;
  std::string m_device;
  std::string m_failure;
  bool m_mounted = false;
  bool m_fuse = false;
};

class RepeatedRun : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!InstallerBuilt()) {
      GTEST_SKIP() << "veskp8-setup is not built in this configuration (VESKP8_BIN_DIR)";
    }
    ASSERT_TRUE(m_scratch.ok());
    for (const char* dir : {"home", "tmp", "kit"}) {
      ASSERT_EQ(mkdir((m_scratch / dir).c_str(), 0755), 0);
    }
  }

  std::string Home() const { return m_scratch / "home"; }
  std::string KitDir() const { return m_scratch / "kit"; }

  // Packs `files` into kit/veskp8.efd, every one with the kit's time, its
  // sub-second part kept.
  void MakeKit(const Files& files) {
    const std::string tree = m_scratch / ("tree" + std::to_string(++m_kits));
    for (const auto& [name, content] : files) {
      const std::string path = tree + "/" + name;
      for (std::size_t slash = path.find('/', m_scratch.path().size() + 1);
           slash != std::string::npos; slash = path.find('/', slash + 1)) {
        mkdir(path.substr(0, slash).c_str(), 0755);
      }
      ASSERT_TRUE(WriteText(path, content)) << path;
      SetTime(path, kKitSecond, kKitNanoseconds);
    }
    const ProgramRun packed = RunProgram(
        BuiltProgram("veskp8-kit"), {"create", "--keep-subseconds", "-o", KitDir() + "/veskp8.efd",
                                     tree, "--desc", "en", "P", "V", ""});
    ASSERT_TRUE(Succeeded(packed)) << packed.err;
  }

  // veskp8-setup usecwd ARGS..., in the kit directory, English, no display.
  ProgramRun Run(std::vector<std::string> arguments) const {
    arguments.insert(arguments.begin(), "usecwd");
    return RunProgram(BuiltProgram("veskp8-setup"), arguments,
                      {"HOME=" + Home(), "TMPDIR=" + (m_scratch / "tmp"), "LC_ALL=C", "LANG=C"},
                      KitDir());
  }

  ScratchDir m_scratch;
  int m_kits = 0;
};

std::string Summary(int added, int replaced, int unchanged, bool changed,
                    const std::string& target) {
  return "new=" + std::to_string(added) + " replaced=" + std::to_string(replaced) +
         " unchanged=" + std::to_string(unchanged) +
         " registered=yes changed=" + (changed ? "yes" : "no") + " signed=no target=" + target + "\n";
}

TEST_F(RepeatedRun, SubSecondKitTimesLeaveEveryReRunWithoutChangeOnEveryFileSystem) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting needs root";
  MakeKit({{"a.txt", "alpha\n"},
           {"sub/b.txt", "bravo\n"},
           {"older.txt", "the kit's\n"},
           {"newer.txt", "the kit's\n"}});
  for (const std::string type : {"tmpfs", "ext4", "xfs", "vfat"}) {
    SCOPED_TRACE(type);
    TestFileSystem fs(type, m_scratch / ("image-" + type), m_scratch / type);
    ASSERT_EQ(fs.failure(), "");
    const std::string target = m_scratch / (type + "/t");
    ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
    // The user's files: one older than the kit's (replaced), one newer (kept).
    ASSERT_TRUE(WriteText(target + "/older.txt", "the user's old\n"));
    SetTime(target + "/older.txt", kKitSecond - 10);
    ASSERT_TRUE(WriteText(target + "/newer.txt", "the user's own\n"));
    SetTime(target + "/newer.txt", kKitSecond + 10);

    const ProgramRun first = Run({"-Q", "-D" + target});
    EXPECT_EQ(Status(first), 0) << first.err;
    EXPECT_EQ(first.out, Summary(2, 1, 1, true, target));
    for (int run = 2; run <= 3; ++run) {
      const ProgramRun again = Run({"-Q", "-D" + target});
      EXPECT_EQ(Status(again), 0) << again.err;
      EXPECT_EQ(again.out, Summary(0, 0, 4, false, target)) << "run " << run;
      // The third run reads the times back from the disk.
      if (!fs.Remount()) break;
    }
    const ProgramRun verify = Run({"-Q", "--verify", "-D" + target});
    EXPECT_EQ(Status(verify), 12);
    EXPECT_EQ(verify.out, "modified " + target + "/newer.txt\n");
    EXPECT_EQ(ReadText(target + "/newer.txt"), "the user's own\n");
    EXPECT_EQ(ReadText(target + "/older.txt"), "the kit's\n");
  }
}

TEST_F(RepeatedRun, DryRunPredictsTheRunFileForFileAndChangesNothing) {
  MakeKit({{"missing.txt", "m\n"},
           {"older.txt", "o\n"},
           {"newer.txt", "n\n"},
           {"equal.txt", "e\n"},
           {"sub/deep/new.txt", "d\n"}});
  const std::string target = m_scratch / "t";
  ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
  ASSERT_TRUE(WriteText(target + "/older.txt", "the user's old\n"));
  SetTime(target + "/older.txt", kKitSecond - 1);
  ASSERT_TRUE(WriteText(target + "/newer.txt", "the user's own\n"));
  SetTime(target + "/newer.txt", kKitSecond + 1);
  ASSERT_TRUE(WriteText(target + "/equal.txt", "other bytes, same second\n"));
  SetTime(target + "/equal.txt", kKitSecond);

  // Nothing changes anywhere: not the directory, the home (journal, launcher
  // file, lock), nor the temporary directory; a missing directory stays
  // missing.
  const auto before = Snapshot(m_scratch.path());
  const ProgramRun fresh = Run({"-Q", "--dry-run", "-D" + (m_scratch / "not/yet")});
  EXPECT_EQ(Status(fresh), 11) << fresh.err;
  const ProgramRun dry = Run({"-Q", "--dry-run", "-D" + target});
  EXPECT_EQ(Status(dry), 11) << dry.err;
  EXPECT_EQ(dry.err, "");
  EXPECT_EQ(Snapshot(m_scratch.path()), before);

  // What the real run then does, file by file, from the directory's states.
  const auto targetBefore = Snapshot(target);
  const ProgramRun real = Run({"-Q", "-D" + target});
  ASSERT_EQ(Status(real), 0) << real.err;
  const auto targetAfter = Snapshot(target);
  std::set<std::string> done;
  for (const auto& [path, state] : targetAfter) {
    if (IsDir(path)) continue;
    const auto old = targetBefore.find(path);
    if (old == targetBefore.end()) {
      done.insert("new " + path + "\n");
    } else if (old->second != state) {
      done.insert("replace " + path + "\n");
    }
  }
  std::set<std::string> lines;
  for (std::size_t start = 0, end; (end = dry.out.find('\n', start)) != std::string::npos;
       start = end + 1) {
    lines.insert(dry.out.substr(start, end - start + 1));
  }
  ASSERT_TRUE(lines.erase(real.out)) << dry.out << "is not followed by " << real.out;
  EXPECT_EQ(lines, done);
  EXPECT_EQ(real.out, Summary(2, 1, 2, true, target));

  const ProgramRun after = Run({"-Q", "--dry-run", "-D" + target});
  EXPECT_EQ(Status(after), 0) << after.err;
  EXPECT_EQ(after.out, Summary(0, 0, 5, false, target));

  // Another directory registered since: only the launcher file would change.
  ASSERT_EQ(Status(Run({"-Q", "-D" + (m_scratch / "other")})), 0);
  const ProgramRun registration = Run({"-Q", "--dry-run", "-D" + target});
  EXPECT_EQ(Status(registration), 11);
  EXPECT_EQ(registration.out, Summary(0, 0, 5, true, target));
  EXPECT_EQ(Run({"-Q", "-D" + target}).out, registration.out);
}

TEST_F(RepeatedRun, DryRunFailsWhereTheInstallationWouldAndAsItWould) {
  MakeKit({{"a.txt", "a\n"}, {"sub/b.txt", "b\n"}});
  int held = -1;
  const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> cases = {
      {"a directory where a file goes",
       [](const std::string& t) {
         ASSERT_EQ(mkdir((t + "/sub").c_str(), 0755), 0);
         ASSERT_EQ(mkdir((t + "/sub/b.txt").c_str(), 0755), 0);
       }},
      {"a file where a directory goes",
       [](const std::string& t) { ASSERT_TRUE(WriteText(t + "/sub", "in the way")); }},
      {"another installation holds the directory",
       [&held](const std::string& t) {
         held = open(t.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
         ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
       }},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].first);
    const std::string target = m_scratch / ("t" + std::to_string(i));
    ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
    cases[i].second(target);
    const auto before = Snapshot(m_scratch.path());
    const ProgramRun dry = Run({"-Q", "--dry-run", "-D" + target});
    EXPECT_EQ(Snapshot(m_scratch.path()), before);
    const ProgramRun real = Run({"-Q", "-D" + target});
    EXPECT_EQ(Status(dry), i == 2 ? 8 : 6);
    EXPECT_EQ(Status(real), Status(dry));
    EXPECT_EQ(dry.err, real.err);
    EXPECT_NE(dry.err, "");
    EXPECT_EQ(dry.out, "");
    EXPECT_FALSE(Exists(target + "/a.txt"));
  }
  if (held >= 0) close(held);
}

TEST_F(RepeatedRun, VerifyTellsWhatDiffersAndRepairPutsBackOnlyThat) {
  MakeKit({{"a.txt", "alpha\n"}, {"sub/b.txt", "bravo\n"}, {"sub/c.txt", "charlie\n"}});
  const std::string target = m_scratch / "t";
  ASSERT_EQ(Status(Run({"-Q", "-D" + target})), 0);
  const ProgramRun clean = Run({"-Q", "--verify", "-D" + target});
  EXPECT_EQ(Status(clean), 0);
  EXPECT_EQ(clean.out, "");
  // Edited later (newer than the kit: an installation keeps it), removed,
  // and touched with the same bytes.
  ASSERT_TRUE(WriteText(target + "/a.txt", "edited\n"));
  ASSERT_EQ(unlink((target + "/sub/b.txt").c_str()), 0);
  SetTime(target + "/sub/c.txt", kKitSecond + 100);

  const ProgramRun verify = Run({"-Q", "--verify", "-D" + target});
  EXPECT_EQ(Status(verify), 12);
  EXPECT_EQ(verify.out, "modified " + target + "/a.txt\nmissing " + target +
                            "/sub/b.txt\ntouched " + target + "/sub/c.txt\n");
  const ProgramRun plan = Run({"-Q", "--repair", "--dry-run", "-D" + target});
  EXPECT_EQ(Status(plan), 11);
  EXPECT_EQ(plan.out, "replace " + target + "/a.txt\nnew " + target + "/sub/b.txt\n" +
                          Summary(1, 1, 1, true, target));
  const ProgramRun repair = Run({"-Q", "--repair", "-D" + target});
  EXPECT_EQ(Status(repair), 0) << repair.err;
  EXPECT_EQ(repair.out, Summary(1, 1, 1, true, target));
  EXPECT_EQ(ReadText(target + "/a.txt"), "alpha\n");
  const ProgramRun repaired = Run({"-Q", "--verify", "-D" + target});
  EXPECT_EQ(Status(repaired), 0);
  EXPECT_EQ(repaired.out, "touched " + target + "/sub/c.txt\n");
}

TEST_F(RepeatedRun, CommandLineErrorsDoNothingAndNameTheOption) {
  MakeKit({{"a.txt", "a\n"}});
  const std::string target = m_scratch / "t";
  const std::string unknown = " Nothing was done; veskp8-setup --help lists the options.\n";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"-Q", "--dryrun"}, "Unknown option --dryrun." + unknown},
      {{"-X", "-Q"}, "Unknown option -X." + unknown},
      {{"-Q", "-"}, "Unknown option -." + unknown},
      {{"--dry-run"}, "The option --dry-run works only together with -Q. Nothing was done.\n"},
      {{"-Q", "--verify", "--repair"},
       "The option --repair cannot be combined with --verify. Nothing was done.\n"},
  };
  for (auto [arguments, line] : cases) {
    SCOPED_TRACE(line);
    arguments.push_back("-D" + target);
    const ProgramRun run = Run(arguments);
    EXPECT_EQ(Status(run), 14);
    EXPECT_EQ(run.err, line);
    EXPECT_EQ(run.out, "");
  }
  EXPECT_FALSE(Exists(target));
  EXPECT_EQ(Snapshot(Home()).size(), 1u);
}

}  // namespace
}  // namespace veskp8::test
