// The kit packer veskp8-kit, run as a program: create, list, verify, their
// errors, determinism and the whole-second cut of times.
#include <signal.h>
#include <sys/wait.h>

#include <cstdlib>

#include "kit_test_support.h"

namespace veskp8::testing {
namespace {

struct ToolRun {
  int status = -1;  // exit code, or -1 after a signal
  std::string out;
  std::string err;
};

class KitPackTest : public KitTest {
 protected:
  void SetUp() override {
    KitTest::SetUp();
    const char* bin = getenv("VESKP8_BIN_DIR");
    if (bin == nullptr) GTEST_SKIP() << "VESKP8_BIN_DIR is not set (run through ctest)";
    tool_ = std::string(bin) + "/veskp8-kit";
    tree_ = dir_ + "/tree";
    ASSERT_EQ(mkdir(tree_.c_str(), 0755), 0);
  }

  ToolRun Tool(std::vector<std::string> args) {
    args.insert(args.begin(), tool_);
    const std::string outPath = dir_ + "/stdout", errPath = dir_ + "/stderr";
    const pid_t pid = fork();
    if (pid == 0) {
      const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(out, 1);
      dup2(err, 2);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ToolRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadWholeFile(outPath);
    run.err = ReadWholeFile(errPath);
    return run;
  }

  void AddFile(const std::string& relative, const std::string& content, time_t mtime = 1700000000,
               long nsec = 0) {
    std::string path = tree_;
    std::size_t start = 0;
    for (std::size_t slash; (slash = relative.find('/', start)) != std::string::npos;
         start = slash + 1) {
      path = tree_ + "/" + relative.substr(0, slash);
      mkdir(path.c_str(), 0755);
    }
    path = tree_ + "/" + relative;
    WriteWholeFile(path, content.data(), content.size());
    const timespec times[2] = {{mtime, nsec}, {mtime, nsec}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }

  // Temporary outputs left beside a kit: "<kit>.XXXXXX".
  std::vector<std::string> Leftovers(const std::string& kitName) {
    std::vector<std::string> left;
    for (const std::string& name : FilesWithPrefix(dir_, kitName + ".")) left.push_back(name);
    return left;
  }

  std::string tool_;
  std::string tree_;
};

TEST_F(KitPackTest, CreateListVerifyRoundTrip) {
  AddFile("b.txt", "bee");
  AddFile("a/z.txt", "zed", 1700000001);
  AddFile("a/b/c.cf", "see");
  AddFile("a/b/empty", "");
  AddFile("Cap.txt", "capital");
  const std::string kit = dir_ + "/out.efd";
  const ToolRun create = Tool({"create", "-o", kit, tree_, "--desc", "en", "Trade", "Vesk",
                               "a/b/c.cf", "--desc", "ru", "Торговля", "Веск", "a\\z.txt"});
  ASSERT_EQ(create.status, 0) << create.err;
  EXPECT_EQ(create.out, "");
  EXPECT_EQ(create.err, "") << "no progress line when stderr is not a terminal";
  EXPECT_TRUE(Leftovers("out.efd").empty());

  const ToolRun list = Tool({"list", kit});
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(list.out,
            "en\tTrade\tVesk\ta\\b\\c.cf\n"
            "ru\tТорговля\tВеск\ta\\z.txt\n"
            "         7 2023-11-14T22:13:20Z Cap.txt\n"
            "         3 2023-11-14T22:13:20Z a\\b\\c.cf\n"
            "         0 2023-11-14T22:13:20Z a\\b\\empty\n"
            "         3 2023-11-14T22:13:21Z a\\z.txt\n"
            "         3 2023-11-14T22:13:20Z b.txt\n");

  const ToolRun verify = Tool({"verify", kit});
  EXPECT_EQ(verify.status, 0) << verify.err;
  EXPECT_EQ(verify.out, kit + ": intact, 2 descriptions, 5 entries, 16 bytes of file data\n");
  EXPECT_TRUE(Images().empty()) << "the packer removes the image it inflated";

  // The installer's reader sees the same content.
  KitArchive opened;
  ASSERT_EQ(OpenKit(opened, LocaleToWide(kit.c_str())), kOk);
  ASSERT_EQ(opened.entries().size(), 5u);
  EXPECT_EQ(ImageBytes(opened, opened.entries()[0].dataOffset, 7), "capital");
  EXPECT_EQ(ImageBytes(opened, opened.entries()[3].dataOffset, 3), "zed");
  EXPECT_EQ(opened.entries()[3].modificationTime, 1700000001ULL * 10000000 + 116444736000000000ULL);
}

TEST_F(KitPackTest, SingleLanguageAndEmptyTree) {
  const std::string kit = dir_ + "/single.efd";
  ASSERT_EQ(
      Tool({"create", "-o", kit, tree_, "--single-language", "--desc", "en", "P", "V", ""}).status,
      0);
  KitArchive opened;
  ASSERT_EQ(OpenKit(opened, LocaleToWide(kit.c_str())), kOk);
  ASSERT_EQ(opened.descriptions().size(), 1u);
  EXPECT_EQ(opened.descriptions()[0].product, u"P");
  EXPECT_TRUE(opened.entries().empty());
  EXPECT_EQ(opened.imageSize(), 4u + 3 * 4 + 2 + 2 + 4);

  EXPECT_EQ(Tool({"create", "-o", kit, tree_, "--single-language"}).status, 2);
  EXPECT_EQ(
      Tool({"create", "-o", kit, tree_, "--single-language", "--desc", "ru", "P", "V", ""}).status,
      2);
}

TEST_F(KitPackTest, SameInputGivesTheSameBytes) {
  for (int i = 0; i < 40; ++i) {
    AddFile("dir" + std::to_string(i % 5) + "/f" + std::to_string(i),
            std::string(i * 97, 'x' + i % 3));
  }
  const std::string first = dir_ + "/first.efd", second = dir_ + "/second.efd";
  ASSERT_EQ(Tool({"create", "-o", first, tree_, "--desc", "en", "P", "V", ""}).status, 0);
  ASSERT_EQ(Tool({"create", "-o", second, tree_, "--desc", "en", "P", "V", ""}).status, 0);
  EXPECT_EQ(ReadWholeFile(first), ReadWholeFile(second));
  EXPECT_FALSE(ReadWholeFile(first).empty());
  // The kit may lie inside the tree it packs; it is not packed into itself.
  const std::string inside = tree_ + "/kit.efd";
  ASSERT_EQ(Tool({"create", "-o", inside, tree_, "--desc", "en", "P", "V", ""}).status, 0);
  ASSERT_EQ(Tool({"create", "-o", inside, tree_, "--desc", "en", "P", "V", ""}).status, 0);
  EXPECT_EQ(ReadWholeFile(inside), ReadWholeFile(first));
}

TEST_F(KitPackTest, TimesAreCutToWholeSecondsUnlessAsked) {
  AddFile("f.txt", "x", 1700000000, 999999999);
  const std::string kit = dir_ + "/t.efd";
  ASSERT_EQ(Tool({"create", "-o", kit, tree_}).status, 0);
  EXPECT_EQ(Tool({"list", kit}).out, "         1 2023-11-14T22:13:20Z f.txt\n");
  ASSERT_EQ(Tool({"create", "--keep-subseconds", "-o", kit, tree_}).status, 0);
  EXPECT_EQ(Tool({"list", kit}).out, "         1 2023-11-14T22:13:20.9999999Z f.txt\n");
}

TEST_F(KitPackTest, FilesOverOneMebibyteComeLast) {
  AddFile("a.bin", std::string(1048577, 'a'));
  AddFile("b.bin", std::string(1048576, 'b'));
  AddFile("c.txt", "c");
  const std::string kit = dir_ + "/order.efd";
  ASSERT_EQ(Tool({"create", "-o", kit, tree_}).status, 0);
  EXPECT_EQ(Tool({"list", kit}).out,
            "   1048576 2023-11-14T22:13:20Z b.bin\n"
            "         1 2023-11-14T22:13:20Z c.txt\n"
            "   1048577 2023-11-14T22:13:20Z a.bin\n");
}

TEST_F(KitPackTest, ErrorsExitNonZeroAndLeaveNoPartialKit) {
  AddFile("ok.txt", "fine");
  const std::string kit = dir_ + "/kit.efd";
  WriteWholeFile(kit, "previous", 8);

  ToolRun run = Tool({"create", "-o", kit, dir_ + "/missing"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("missing"), std::string::npos) << run.err;

  run = Tool({"create", "-o", dir_ + "/no-dir/kit.efd", tree_});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;

  run = Tool({"create", "-o", tree_, tree_});
  EXPECT_EQ(run.status, 1) << "the output is a directory";

  // A name the installer would refuse: a backslash inside a file name.
  AddFile("a\\b.txt", "bad");
  run = Tool({"create", "-o", kit, tree_});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("a\\b.txt"), std::string::npos) << run.err;
  EXPECT_EQ(ReadWholeFile(kit), "previous") << "a failed pack keeps the old kit";
  EXPECT_TRUE(Leftovers("kit.efd").empty());
  unlink((tree_ + "/a\\b.txt").c_str());

  // Usage errors.
  EXPECT_EQ(Tool({"create", tree_}).status, 2);
  EXPECT_EQ(Tool({"create", "-o", kit}).status, 2);
  EXPECT_EQ(Tool({"create", "-o", kit, tree_, "--desc", "en", "P"}).status, 2);
  EXPECT_EQ(Tool({"create", "-o", kit, tree_, "--bogus"}).status, 2);
  EXPECT_EQ(Tool({"frobnicate"}).status, 2);
  EXPECT_EQ(Tool({}).status, 2);
  EXPECT_EQ(Tool({"list"}).status, 2);
  EXPECT_EQ(Tool({"verify", kit, kit}).status, 2);
  EXPECT_EQ(ReadWholeFile(kit), "previous");
}

TEST_F(KitPackTest, AFileThatChangesWhilePackingIsAnError) {
  // Files of /proc report size 0 and then deliver content: the listed size no
  // longer holds when the file is read.
  AddFile("ok.txt", "fine");
  if (symlink("/proc/self/status", (tree_ + "/status").c_str()) != 0) GTEST_SKIP() << "no /proc";
  const std::string kit = dir_ + "/kit.efd";
  const ToolRun run = Tool({"create", "-o", kit, tree_});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("changed while packing"), std::string::npos) << run.err;
  EXPECT_NE(access(kit.c_str(), F_OK), 0);
  EXPECT_TRUE(Leftovers("kit.efd").empty());
}

TEST_F(KitPackTest, AnInterruptedPackLeavesNothing) {
  std::string noise(8 << 20, '\0');
  unsigned state = 1;
  for (char& c : noise) c = static_cast<char>((state = state * 1103515245 + 12345) >> 16);
  for (int i = 0; i < 6; ++i) AddFile("n" + std::to_string(i), noise);
  const std::string kit = dir_ + "/kit.efd";
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    execl(tool_.c_str(), tool_.c_str(), "create", "-o", kit.c_str(), tree_.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  usleep(300 * 1000);
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) {
    EXPECT_EQ(WEXITSTATUS(status), 0) << "finished before the signal";
  } else {
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_NE(access(kit.c_str(), F_OK), 0);
  }
  EXPECT_TRUE(Leftovers("kit.efd").empty());
}

TEST_F(KitPackTest, HelpForEachCommand) {
  for (const char* command : {"create", "list", "verify", "keygen", "sign"}) {
    const ToolRun run = Tool({command, "--help"});
    EXPECT_EQ(run.status, 0) << command;
    EXPECT_NE(run.out.find(std::string("usage: veskp8-kit ") + command), std::string::npos)
        << run.out;
  }
  const ToolRun top = Tool({"--help"});
  EXPECT_EQ(top.status, 0);
  EXPECT_NE(top.out.find("veskp8-kit verify KIT"), std::string::npos);
}

TEST_F(KitPackTest, VerifyAndListRefuseDamagedKits) {
  AddFile("f.txt", std::string(5000, 'q'));
  const std::string kit = dir_ + "/k.efd";
  ASSERT_EQ(Tool({"create", "-o", kit, tree_}).status, 0);
  std::string bytes = ReadWholeFile(kit);
  bytes.resize(bytes.size() / 2);
  WriteWholeFile(kit, bytes.data(), bytes.size());
  ToolRun run = Tool({"verify", kit});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("damaged"), std::string::npos) << run.err;
  EXPECT_EQ(Tool({"list", kit}).status, 1);
  run = Tool({"verify", dir_ + "/absent.efd"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("absent.efd"), std::string::npos);
  EXPECT_TRUE(Images().empty());
}

TEST_F(KitPackTest, TreesAndKitsTheInstallerWouldRefuse) {
  // Names that differ only in case are packed, with a warning.
  AddFile("Docs/Readme.txt", "a");
  AddFile("docs/README.TXT", "b");
  AddFile("Сводка.txt", "c");
  AddFile("сводка.txt", "d");
  const std::string kit = dir_ + "/k.efd";
  ToolRun run = Tool({"create", "-o", kit, tree_});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("warning: Docs\\Readme.txt and docs\\README.TXT differ only in letter case"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("Сводка.txt and сводка.txt differ only"), std::string::npos) << run.err;
  EXPECT_EQ(Tool({"verify", kit}).status, 0);

  // More descriptions than the installer reads.
  std::vector<std::string> args = {"create", "-o", dir_ + "/many.efd", tree_};
  for (std::uint32_t i = 0; i <= kMaxKitDescriptions; ++i) {
    args.insert(args.end(), {"--desc", "l" + std::to_string(i), "P", "V", ""});
  }
  run = Tool(args);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("too many descriptions"), std::string::npos) << run.err;
  EXPECT_TRUE(FilesWithPrefix(dir_, "many.efd").empty());

  // Kits made by other means: two entries with one destination, and tables
  // over the memory budget (two million entries of 10-unit names).
  WriteWholeFile(kit, nullptr, 0);
  const Bytes clash =
      DeflateRaw(MakeImage(1, {}, {Entry(u"a\\b", 0, 0, 1), Entry(u"a/b", 0, 0, 1)}, "x"));
  WriteWholeFile(kit, clash.data(), clash.size());
  run = Tool({"verify", kit});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("two entries with one destination"), std::string::npos) << run.err;
  Bytes image;
  ASSERT_TRUE(EncodeKitTables(1, {}, {}, image));
  image.resize(8);
  const std::uint32_t n = 2000000;
  for (int shift = 0; shift < 32; shift += 8) image.push_back(static_cast<unsigned char>(n >> shift));
  Bytes record;
  ASSERT_TRUE(EncodeKitTables(1, {}, {Entry(u"abcdefghij", 0, 0, 0)}, record));
  for (std::uint32_t i = 0; i < n; ++i) image.insert(image.end(), record.begin() + 12, record.end());
  const Bytes big = DeflateRaw(image);
  WriteWholeFile(kit, big.data(), big.size());
  EXPECT_EQ(Tool({"verify", kit}).status, 1);
  EXPECT_TRUE(Images().empty());
}

TEST_F(KitPackTest, ATreeOverTheMemoryBudgetIsNotPacked) {
  // 34 000 files whose paths are about 3 900 units long: each costs about
  // 8 KiB of the installer's memory, together more than the budget.
  std::string deep = tree_;
  for (int i = 0; i < 15; ++i) {
    deep += "/" + std::string(250, static_cast<char>('a' + i));
    ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
  }
  const int directory = open(deep.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(directory, 0);
  for (int i = 0; i < 34000; ++i) {
    const std::string name = std::string(120, 'f') + std::to_string(i);
    const int fd = openat(directory, name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    close(fd);
  }
  close(directory);
  const ToolRun run = Tool({"create", "-o", dir_ + "/big.efd", tree_});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("MiB of the installer's memory"), std::string::npos) << run.err;
  EXPECT_TRUE(FilesWithPrefix(dir_, "big.efd").empty());
}

TEST_F(KitPackTest, DemoKitIsBuiltAndIntact) {
  const std::string demo = std::string(getenv("VESKP8_BIN_DIR")) + "/../demo/veskp8.efd";
  if (access(demo.c_str(), R_OK) != 0) GTEST_SKIP() << "demo kit not built: " << demo;
  const ToolRun run = Tool({"list", demo});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("en\tTrade Management"), std::string::npos);
  EXPECT_NE(run.out.find("ru\tУправление торговлей"), std::string::npos);
  EXPECT_NE(run.out.find("de\tHandelsverwaltung"), std::string::npos);
  EXPECT_NE(run.out.find("Vesk\\Trade\\2_1_4\\docs\\description.html"), std::string::npos);
}

}  // namespace
}  // namespace veskp8::testing
