// The unattended mode (-Q) through the real veskp8-setup, without a display:
// its exit statuses, its lines on standard error and standard output, -D, the
// stop signals, the recovery of a killed installation, and --help / --version.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <utime.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/installer_process.h"
#include "install/engine_test_support.h"
#include "install/fs/fs_test_support.h"
#include "install/install_journal.h"

namespace veskp8::test {
namespace {

constexpr time_t kKitTime = 1767225600;  // 2026-01-01, the time of every kit file
constexpr time_t kOldTime = 946684800;   // 2000-01-01: an older copy

// The English texts the lines are made of (LC_ALL=C selects English).
constexpr char kNoSource[] = "Distribution kit file veskp8.efd not found.";
constexpr char kDamaged[] =
    "Distribution kit file veskp8.efd corrupted or not designed for this installation program.";
constexpr char kNoSpace[] = "Insufficient space available in the directory Temp.";
constexpr char kNoTarget[] = "Installation of templates to the current directory is not supported.";
constexpr char kInstallError[] = "Installation error";
constexpr char kNotRegistered[] =
    "The templates were installed, but the launcher configuration could not be updated:";

void SetTime(const std::string& path, time_t when) {
  const utimbuf times{when, when};
  ASSERT_EQ(utime(path.c_str(), &times), 0) << path;
}

time_t ModificationTime(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
}

class QuietRun : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!InstallerBuilt()) {
      GTEST_SKIP() << "veskp8-setup is not built in this configuration (VESKP8_BIN_DIR)";
    }
    ASSERT_TRUE(m_scratch.ok());
    for (const char* dir : {"home", "tmp", "kit", "tree"}) {
      ASSERT_EQ(mkdir((m_scratch / dir).c_str(), 0755), 0);
    }
  }

  std::string Home() const { return m_scratch / "home"; }
  std::string Tmp() const { return m_scratch / "tmp"; }
  std::string KitDir() const { return m_scratch / "kit"; }
  std::string Proposal() const { return Home() + "/.veskp8/Vesk/veskp8/tmplts"; }
  std::string LauncherFile() const { return Home() + "/.Vesk/vesklaunch/vesklaunch.cfg"; }

  // Packs `files` (name below the tree, content) into kit/veskp8.efd.
  void MakeKit(const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& [name, content] : files) {
      const std::string path = m_scratch / ("tree/" + name);
      for (std::size_t slash = path.find('/', m_scratch.path().size() + 6);
           slash != std::string::npos; slash = path.find('/', slash + 1)) {
        mkdir(path.substr(0, slash).c_str(), 0755);
      }
      ASSERT_TRUE(WriteText(path, content)) << path;
      SetTime(path, kKitTime);
    }
    const ProgramRun packed =
        RunProgram(BuiltProgram("veskp8-kit"), {"create", "-o", KitDir() + "/veskp8.efd",
                                                m_scratch / "tree", "--desc", "en", "P", "V", ""});
    ASSERT_TRUE(WIFEXITED(packed.status) && WEXITSTATUS(packed.status) == 0) << packed.err;
  }

  std::vector<std::string> Settings(const std::string& tmp) const {
    return {"HOME=" + Home(), "TMPDIR=" + tmp, "LC_ALL=C", "LANG=C"};
  }

  // veskp8-setup usecwd ARGS..., in the kit directory, English, no display.
  ProgramRun Run(std::vector<std::string> arguments, const std::string& tmp = {}) const {
    arguments.insert(arguments.begin(), "usecwd");
    return RunProgram(BuiltProgram("veskp8-setup"), arguments, Settings(tmp.empty() ? Tmp() : tmp),
                      KitDir());
  }

  static int Status(const ProgramRun& run) {
    return WIFEXITED(run.status) ? WEXITSTATUS(run.status) : -1000 - run.status;
  }

  // Nothing of the run stays in the temporary directory (image, backups).
  void ExpectTmpEmpty() const { EXPECT_EQ(DirectoryNames(Tmp()), std::vector<std::string>{}); }

  const std::vector<std::pair<std::string, std::string>> m_threeFiles = {
      {"a.txt", "alpha\n"}, {"sub/b.txt", "bravo\n"}, {"sub/deeper/c.txt", "charlie\n"}};
  ScratchDir m_scratch;
};

TEST_F(QuietRun, CountsWhatItChangedAndARerunChangesNothing) {
  MakeKit(m_threeFiles);
  const ProgramRun first = Run({"-Q"});
  EXPECT_EQ(Status(first), 0) << first.err;
  EXPECT_EQ(first.err, "");
  EXPECT_EQ(first.out,
            "new=3 replaced=0 unchanged=0 registered=yes changed=yes signed=no target=" + Proposal() + "\n");
  EXPECT_EQ(ReadText(Proposal() + "/sub/deeper/c.txt"), "charlie\n");
  EXPECT_EQ(ReadText(LauncherFile()), "ConfigurationTemplatesLocation=" + Proposal() + "\n");
  ExpectTmpEmpty();

  const ProgramRun again = Run({"-Q"});
  EXPECT_EQ(Status(again), 0) << again.err;
  EXPECT_EQ(again.out,
            "new=0 replaced=0 unchanged=3 registered=yes changed=no signed=no target=" + Proposal() + "\n");

  // An older, changed copy is replaced; -D with a trailing slash and
  // backslashes names the same directory, shown without the slash.
  ASSERT_TRUE(WriteText(Proposal() + "/a.txt", "changed by the user\n"));
  SetTime(Proposal() + "/a.txt", kOldTime);
  std::string backslashed = Proposal() + "/";
  for (char& c : backslashed) c = c == '/' ? '\\' : c;
  const ProgramRun update = Run({"/q", "-d" + backslashed});
  EXPECT_EQ(Status(update), 0) << update.err;
  EXPECT_EQ(update.out,
            "new=0 replaced=1 unchanged=2 registered=yes changed=yes signed=no target=" + Proposal() + "\n");
  EXPECT_EQ(ReadText(Proposal() + "/a.txt"), "alpha\n");
  EXPECT_EQ(ModificationTime(Proposal() + "/a.txt"), kKitTime);
  ExpectTmpEmpty();
}

TEST_F(QuietRun, InstallsIntoAnAbsoluteDirectoryAndRefusesEveryOtherValue) {
  MakeKit(m_threeFiles);
  const std::string target = m_scratch / "elsewhere/t";
  // -Q after an L option counts (its own pass); /D is the same option.
  const ProgramRun installed = Run({"-Len", "-Q", "/D" + target});
  EXPECT_EQ(Status(installed), 0) << installed.err;
  EXPECT_EQ(installed.out,
            "new=3 replaced=0 unchanged=0 registered=yes changed=yes signed=no target=" + target + "\n");
  EXPECT_EQ(ReadText(target + "/a.txt"), "alpha\n");
  EXPECT_FALSE(Exists(Proposal()));

  const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{"-Q", "-D"}, ""},                            // empty
      {{"-Q", "-D", "/srv/t"}, ""},                  // the value must be in the same argument
      {{"-Q", "-Drelative/t"}, "relative/t"},        // relative
      {{"-Q", "-DC:\\t\\x"}, "C:/t/x"},              // relative after "\" became "/"
      {{"-Q", "-Dhttp://host/t"}, "http://host/t"},  // a URL
      {{"-Q", "-Dfile:///srv/t"}, "file:///srv/t"},
  };
  for (const auto& [arguments, shown] : refused) {
    SCOPED_TRACE(arguments.back());
    const ProgramRun run = Run(arguments);
    EXPECT_EQ(Status(run), 5);
    EXPECT_EQ(run.err, std::string(kNoTarget) + (shown.empty() ? "" : " " + shown) + "\n");
    EXPECT_EQ(run.out, "");
  }
  EXPECT_FALSE(Exists(Proposal()));
  EXPECT_FALSE(Exists(m_scratch / "kit/relative"));
  ExpectTmpEmpty();
}

TEST_F(QuietRun, ChecksFailWithTheirStatusAndPath) {
  // No kit in the current directory.
  const ProgramRun missing = Run({"-Q"});
  EXPECT_EQ(Status(missing), 2);
  EXPECT_EQ(missing.err, std::string(kNoSource) + " " + KitDir() + "/veskp8.efd\n");
  EXPECT_EQ(missing.out, "");

  // The same in German: the L option chooses the language of the line.
  const ProgramRun german = Run({"-Lde", "-Q"});
  EXPECT_EQ(Status(german), 2);
  EXPECT_EQ(
      german.err.rfind("Die Datei des Distributionspakets veskp8.efd wurde nicht gefunden.", 0), 0u)
      << german.err;

  // Russian in a UTF-8 locale; English where the locale cannot write it.
  std::vector<std::string> utf8 = Settings(Tmp());
  utf8[2] = "LC_ALL=C.UTF-8";
  const ProgramRun russian =
      RunProgram(BuiltProgram("veskp8-setup"), {"usecwd", "-Lru", "-Q"}, utf8, KitDir());
  EXPECT_EQ(Status(russian), 2);
  EXPECT_EQ(russian.err.rfind("Файл комплекта поставки veskp8.efd не найден.", 0), 0u)
      << russian.err;
  const ProgramRun ascii = Run({"-Lru", "-Q"});
  EXPECT_EQ(ascii.err, missing.err);

  // Not a kit.
  ASSERT_TRUE(WriteText(KitDir() + "/veskp8.efd", "this is not a deflate stream at all"));
  const ProgramRun damaged = Run({"-Q"});
  EXPECT_EQ(Status(damaged), 3);
  EXPECT_EQ(damaged.err, std::string(kDamaged) + " " + KitDir() + "/veskp8.efd\n");
  EXPECT_EQ(damaged.out, "");
  EXPECT_FALSE(Exists(Proposal()));
  ExpectTmpEmpty();
}

TEST_F(QuietRun, TooLittleTemporarySpaceGivesFour) {
  // A kit of incompressible bytes, larger than a third of a 64 KiB tmpfs
  // (the check before inflating); and a kit that compresses well, far below
  // that third, whose image then does not fit (ENOSPC while inflating): both
  // are a lack of space, never a damaged kit.
  std::mt19937 random(7);
  std::string noise(40000, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  for (const std::string& content : {noise, std::string(1u << 20, 'z')}) {
    SCOPED_TRACE(content.size());
    MakeKit({{"noise.bin", content}});
    const std::string small = m_scratch / "small-tmp";
    mkdir(small.c_str(), 0755);
    if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0) {
      GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    }
    const ProgramRun run = Run({"-Q"}, small);
    const std::vector<std::string> left = DirectoryNames(small);
    umount(small.c_str());
    EXPECT_EQ(Status(run), 4);
    EXPECT_EQ(run.err, std::string(kNoSpace) + " " + small + "/\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(left, std::vector<std::string>{}) << "the image is gone";
    EXPECT_FALSE(Exists(Proposal()));
  }
}

TEST_F(QuietRun, ATemporaryDirectoryThatFillsUpWhileTheKitInflatesGivesFour) {
  // A small kit (it passes the check of three times its size) whose image
  // does not fit: the file system fills up while the kit inflates, before or
  // after its tables are read and copying began, and the run says so.
  MakeKit({{"a.txt", "alpha\n"}, {"zeros.bin", std::string(8u << 20, '\0')}});
  const std::string small = m_scratch / "small-tmp";
  ASSERT_EQ(mkdir(small.c_str(), 0755), 0);
  if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
  }
  const std::string target = m_scratch / "t";
  const ProgramRun run = Run({"-Q", "-D" + target}, small);
  const std::vector<std::string> left = DirectoryNames(small);
  umount(small.c_str());
  EXPECT_EQ(Status(run), 4);
  EXPECT_EQ(run.err, std::string(kNoSpace) + " " + small + "/\n");
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(Exists(target));
  EXPECT_EQ(left, std::vector<std::string>{});
}

TEST_F(QuietRun, FailedInstallationNamesTheEntryAndRestoresTheDirectory) {
  MakeKit(m_threeFiles);
  const std::string target = m_scratch / "t";
  ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
  ASSERT_TRUE(WriteText(target + "/a.txt", "the user's own\n"));
  SetTime(target + "/a.txt", kOldTime);
  // A directory where the second entry's file goes: that entry fails after
  // the first one replaced a.txt.
  ASSERT_EQ(mkdir((target + "/sub").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((target + "/sub/b.txt").c_str(), 0755), 0);

  const ProgramRun run = Run({"-Q", "-D" + target});
  EXPECT_EQ(Status(run), 6);
  // The path, then why: a directory stands where the file goes.
  EXPECT_EQ(run.err, std::string(kInstallError) + " " + target +
                         "/sub/b.txt: The name is in use by a directory.\n");
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(ReadText(target + "/a.txt"), "the user's own\n");
  EXPECT_EQ(ModificationTime(target + "/a.txt"), kOldTime);
  EXPECT_TRUE(IsDir(target + "/sub/b.txt"));
  EXPECT_FALSE(Exists(target + "/sub/deeper"));
  EXPECT_FALSE(Exists(LauncherFile()));
  ExpectTmpEmpty();
}

TEST_F(QuietRun, AKitFoundDamagedWhileItIsCopiedRollsBackAndGivesThree) {
  // Older copies of the small files, replaced first; then several MiB of
  // text whose stream is damaged near its end, found while the files before
  // it are already copied (the kit inflates while it is installed).
  std::mt19937 random(5);
  const std::string words = "ledger invoice payment template catalogue account ";
  std::string text(5u << 20, '\0');
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = words[(i * 7 + random() % 5) % words.size()];
  std::vector<std::pair<std::string, std::string>> files = m_threeFiles;
  files.emplace_back("z-large.txt", text);
  MakeKit(files);
  const std::string kitPath = KitDir() + "/veskp8.efd";
  std::string kit = ReadText(kitPath);
  for (std::size_t i = kit.size() * 9 / 10; i < kit.size() * 9 / 10 + 4096; ++i) kit[i] ^= '\xa5';
  ASSERT_TRUE(WriteText(kitPath, kit));
  const std::string target = m_scratch / "t";
  ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
  ASSERT_TRUE(WriteText(target + "/a.txt", "the user's own\n"));
  SetTime(target + "/a.txt", kOldTime);
  const Snapshot before = TakeSnapshot(target);

  const ProgramRun run = Run({"-Q", "-D" + target});
  EXPECT_EQ(Status(run), 3);
  EXPECT_EQ(run.err, std::string(kDamaged) + " " + kitPath + "\n");
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(TakeSnapshot(target), before);
  EXPECT_FALSE(Exists(LauncherFile()));
  ExpectTmpEmpty();
}

TEST_F(QuietRun, LauncherFileThatCannotBeWrittenGivesNine) {
  MakeKit(m_threeFiles);
  // A file where the launcher's configuration directory must be.
  ASSERT_TRUE(WriteText(Home() + "/.Vesk", "in the way"));
  const ProgramRun run = Run({"-Q"});
  EXPECT_EQ(Status(run), 9);
  EXPECT_EQ(run.err, std::string(kNotRegistered) + " " + LauncherFile() + "\n");
  EXPECT_EQ(run.out,
            "new=3 replaced=0 unchanged=0 registered=no changed=yes signed=no target=" + Proposal() + "\n");
  EXPECT_EQ(ReadText(Proposal() + "/a.txt"), "alpha\n");
  ExpectTmpEmpty();
}

TEST_F(QuietRun, StopSignalRollsBackAndEndsTheProcessByIt) {
  // Enough data that the copy is still running when the signal comes.
  std::vector<std::pair<std::string, std::string>> files;
  std::mt19937 random(11);
  for (int i = 0; i < 300; ++i) {
    std::string data(32768, '\0');
    for (char& c : data) c = static_cast<char>(random());
    files.emplace_back("f/" + std::to_string(1000 + i) + ".bin", std::move(data));
  }
  MakeKit(files);
  const std::string target = m_scratch / "t";
  ASSERT_EQ(mkdir((target).c_str(), 0755), 0);
  ASSERT_EQ(mkdir((target + "/f").c_str(), 0755), 0);
  ASSERT_TRUE(WriteText(target + "/f/1000.bin", "older original"));
  SetTime(target + "/f/1000.bin", kOldTime);

  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal);
    ChildProgram child(BuiltProgram("veskp8-setup"), {"usecwd", "-Q", "-D" + target},
                       Settings(Tmp()), KitDir());
    ASSERT_GT(child.pid(), 0);
    // The backup directory (in the product data directory, on the same file
    // system) exists from the start of the copy on.
    bool copying = false;
    for (int i = 0; i < 20000 && !copying; ++i) {
      for (const std::string& name : DirectoryNames(Home() + "/.veskp8")) {
        copying |= name.rfind("p8stp", 0) == 0;
      }
      if (!copying) std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    ASSERT_TRUE(copying);
    ASSERT_EQ(kill(child.pid(), signal), 0);
    const ProgramRun run = child.Wait();
    ASSERT_TRUE(WIFSIGNALED(run.status)) << "status " << run.status << " " << run.out << run.err;
    EXPECT_EQ(WTERMSIG(run.status), signal);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(DirectoryNames(target + "/f"), std::vector<std::string>{"1000.bin"});
    EXPECT_EQ(ReadText(target + "/f/1000.bin"), "older original");
    EXPECT_EQ(ModificationTime(target + "/f/1000.bin"), kOldTime);
    EXPECT_FALSE(Exists(LauncherFile()));
    ExpectTmpEmpty();
    EXPECT_EQ(BackupDirs(Home() + "/.veskp8"), std::vector<std::string>{});
  }
}

TEST_F(QuietRun, NextRunUndoesAKilledInstallationAndTellsItInOneLine) {
  MakeKit(m_threeFiles);
  const std::string target = m_scratch / "t";
  ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
  ASSERT_TRUE(WriteText(target + "/a.txt", "the user's own\n"));
  SetTime(target + "/a.txt", kOldTime);
  // The engine with its journal in a child that is SIGKILLed once it has
  // replaced a.txt and written sub/b.txt, as a kill of the installer leaves it.
  const auto killedInstall = [&] {
    const pid_t pid = fork();
    if (pid == 0) {
      setenv("HOME", Home().c_str(), 1);
      setenv("TMPDIR", Tmp().c_str(), 1);
      KitArchive kit;
      if (OpenKit(kit, Wide(KitDir() + "/veskp8.efd")) != 0) _exit(3);
      InstallJournal journal;
      InstallJobOptions options;
      options.journal = &journal;
      options.stepHook = [](InstallStep step, std::size_t index, const WideString&) {
        if (step == InstallStep::kWritten && index == 1) raise(SIGKILL);
        return kOk;
      };
      (void)RunInstall(kit, target + "/", options);
      _exit(4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    ASSERT_EQ(DirectoryNames(Home() + "/.veskp8/journal").size(), 1u);
  };
  const std::string interrupted = "An earlier installation into " + target + " was interrupted";

  // Restored before the kit is looked for: a missing kit does not stop it.
  killedInstall();
  ASSERT_EQ(ReadText(target + "/sub/b.txt"), "bravo\n");
  ASSERT_EQ(rename((KitDir() + "/veskp8.efd").c_str(), (m_scratch / "kit.efd").c_str()), 0);
  const ProgramRun restored = Run({"-Q", "-D" + target});
  EXPECT_EQ(Status(restored), 2);
  EXPECT_EQ(restored.err, interrupted + ". The directory has been restored.\n" + kNoSource + " " +
                              KitDir() + "/veskp8.efd\n");
  EXPECT_EQ(DirectoryNames(target), std::vector<std::string>{"a.txt"});
  EXPECT_EQ(ReadText(target + "/a.txt"), "the user's own\n");
  EXPECT_EQ(ModificationTime(target + "/a.txt"), kOldTime);
  EXPECT_EQ(DirectoryNames(Home() + "/.veskp8/journal"), std::vector<std::string>{});
  ExpectTmpEmpty();

  // The user changes a file the killed run wrote: it stays (and with it the
  // directory the run made), the line names both and the list file, and
  // nothing new is installed (status 10).
  ASSERT_EQ(rename((m_scratch / "kit.efd").c_str(), (KitDir() + "/veskp8.efd").c_str()), 0);
  killedInstall();
  ASSERT_TRUE(WriteText(target + "/sub/b.txt", "changed by the user\n"));
  const ProgramRun incomplete = Run({"-Q", "-D" + target});
  EXPECT_EQ(Status(incomplete), 10);
  EXPECT_EQ(incomplete.out, "");
  const std::string list = Home() + "/.veskp8/unrestored-";
  EXPECT_EQ(incomplete.err.rfind(interrupted +
                                     ", and the directory could not be fully restored. "
                                     "Files affected: 2. sub/b.txt; sub/; The full list "
                                     "is in " +
                                     list,
                                 0),
            0u)
      << incomplete.err;
  EXPECT_EQ(std::count(incomplete.err.begin(), incomplete.err.end(), '\n'), 1);
  EXPECT_EQ(ReadText(target + "/sub/b.txt"), "changed by the user\n");
  EXPECT_EQ(ReadText(target + "/a.txt"), "the user's own\n");
  EXPECT_FALSE(Exists(target + "/sub/deeper"));
  EXPECT_FALSE(Exists(LauncherFile()));
  ExpectTmpEmpty();

  // Told once: the next run installs.
  const ProgramRun next = Run({"-Q", "-D" + target});
  EXPECT_EQ(Status(next), 0) << next.err;
  EXPECT_EQ(next.err, "");
}

// Signed kits through the real programs: minisign and veskp8-kit sign each
// other's kits both ways; every kind of refusal has its text and status 13,
// leaves no template directory and nothing in the temporary directory.
TEST_F(QuietRun, SignedKitsInstallOnlyWithAValidSignatureByATrustedKey) {
  const std::string minisign = "/usr/bin/minisign";
  if (!Exists(minisign)) GTEST_SKIP() << "minisign is not installed (scripts/setup)";
  MakeKit(m_threeFiles);
  const std::string kit = KitDir() + "/veskp8.efd";
  const std::string signature = kit + ".minisig";
  const std::string keys = m_scratch / "keys";
  ASSERT_EQ(mkdir(keys.c_str(), 0755), 0);
  const auto ok = [](const ProgramRun& run) {
    return WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0;
  };
  const auto packer = [&](std::vector<std::string> arguments) {
    return RunProgram(BuiltProgram("veskp8-kit"), arguments);
  };
  // Key pairs: ours (a, b) and minisign's (m, unencrypted).
  for (const char* name : {"a", "b"}) {
    const std::string base = keys + "/" + name;
    ASSERT_TRUE(ok(packer({"keygen", "-p", base + ".pub", "-s", base + ".key"})));
  }
  struct stat st {};
  ASSERT_EQ(stat((keys + "/a.key").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_TRUE(ok(RunProgram(minisign, {"-G", "-W", "-p", keys + "/m.pub", "-s", keys + "/m.key"})));
  // The id in the key file's comment; minisign writes it without leading
  // zeros, the installer with all 16 digits.
  const auto keyId = [&](const std::string& name) {
    const std::string text = ReadText(keys + "/" + name + ".pub");
    const std::size_t from = text.find("public key ") + 11;
    const std::string digits = text.substr(from, text.find('\n', from) - from);
    return std::string(16 - std::min<std::size_t>(digits.size(), 16), '0') + digits;
  };
  const std::string unsafeKey = keys + "/unsafe.pub";
  ASSERT_TRUE(WriteText(unsafeKey, ReadText(keys + "/a.pub")));
  ASSERT_EQ(chmod(unsafeKey.c_str(), 0666), 0);
  const std::string original = ReadText(kit);

  const auto signWith = [&](const char* key) { return ok(packer({"sign", "-s", keys + "/" + key + ".key", kit})); };
  const auto minisignWith = [&](const char* key, std::vector<std::string> extra = {}) {
    std::vector<std::string> arguments{"-S", "-s", keys + "/" + key + ".key", "-m", kit};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return ok(RunProgram(minisign, arguments));
  };
  struct Case {
    const char* name;
    std::function<bool()> prepare;  // writes the kit's signature (and the kit)
    std::string keyFile;
    int status;
    std::string expected;  // status 0: the signer's key id; else the line on stderr
  };
  const std::string prefix = "The distribution kit veskp8.efd ";
  const std::vector<Case> cases = {
      {"signed by minisign", [&] { return minisignWith("m", {"-t", "by minisign"}); },
       keys + "/m.pub", 0, keyId("m")},
      {"signed by veskp8-kit", [&] { return signWith("a"); }, keys + "/a.pub", 0, keyId("a")},
      {"one byte changed",
       [&] {
         std::string changed = original;
         changed[changed.size() / 2] ^= 0x01;
         return signWith("a") && WriteText(kit, changed);
       },
       keys + "/a.pub", 13,
       prefix + "does not match its signature: it has been changed since it was signed. " + kit},
      {"another key", [&] { return signWith("b"); }, keys + "/a.pub", 13,
       prefix + "is signed with the key " + keyId("b") +
           ", which is not trusted on this computer. " + kit},
      {"legacy form", [&] { return minisignWith("m", {"-l"}); }, keys + "/m.pub", 13,
       "The signature file veskp8.efd.minisig is damaged or in a format that is not accepted. " +
           signature},
      {"truncated signature",
       [&] {
         const std::string text = (signWith("a"), ReadText(signature));
         return WriteText(signature, text.substr(0, text.size() - 20));
       },
       keys + "/a.pub", 13,
       "The signature file veskp8.efd.minisig is damaged or in a format that is not accepted. " +
           signature},
      {"not signed", [&] { return unlink(signature.c_str()) == 0 || errno == ENOENT; },
       keys + "/a.pub", 13,
       prefix + "is not signed, and only signed kits may be installed on this computer. " + kit},
      {"key file writable by others", [&] { return signWith("a"); }, unsafeKey, 13,
       "The trusted key file " + unsafeKey + " is not used because other users could change it."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteText(kit, original));
    unlink(signature.c_str());
    ASSERT_TRUE(c.prepare());
    const ProgramRun run = Run({"-Q", "-K" + c.keyFile});
    EXPECT_EQ(Status(run), c.status) << run.err;
    if (c.status == 0) {
      EXPECT_EQ(run.err, "");
      EXPECT_NE(run.out.find(" signed=" + c.expected + " target="), std::string::npos) << run.out;
      EXPECT_EQ(ReadText(Proposal() + "/sub/deeper/c.txt"), "charlie\n");
      // Either way round: minisign accepts the signature with the public key.
      EXPECT_TRUE(ok(RunProgram(minisign, {"-V", "-m", kit, "-p", c.keyFile})));
      EXPECT_TRUE(ok(packer({"verify", "-p", c.keyFile, kit})));
      ASSERT_EQ(RunProgram("/bin/rm", {"-rf", Home() + "/.veskp8", Home() + "/.Vesk"}).status, 0);
    } else {
      EXPECT_EQ(run.err, c.expected + "\n");
      EXPECT_EQ(run.out, "");
      EXPECT_FALSE(Exists(Proposal()));
    }
    ExpectTmpEmpty();
  }
}

TEST_F(QuietRun, HelpAndVersionPrintAndInstallNothing) {
  MakeKit(m_threeFiles);
  const ProgramRun help = Run({"--help"});
  EXPECT_EQ(Status(help), 0);
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(help.out.rfind("Usage: veskp8-setup [usecwd] [OPTION]...\n", 0), 0u) << help.out;
  for (const char* part : {"\n  -Q ", "\n  -DDIR ", "\n  -S ", "\n  -LCODE ", "\n  0   installed",
                           "\n  7   ", "\n  10  ", "\n  13  ", "\n  -KFILE ", "signed=KEYID|no", "128+N",
                           "write -D/srv/t, not -D /srv/t"}) {
    EXPECT_NE(help.out.find(part), std::string::npos) << part;
  }
  const ProgramRun version = Run({"-Q", "--version"});
  EXPECT_EQ(Status(version), 0);
  EXPECT_EQ(version.out.rfind("veskp8-setup ", 0), 0u);
  EXPECT_EQ(version.out.find('\n'), version.out.size() - 1);
  EXPECT_FALSE(Exists(Proposal()));
  EXPECT_EQ(DirectoryNames(Home()), std::vector<std::string>{});
  ExpectTmpEmpty();
}

}  // namespace
}  // namespace veskp8::test
