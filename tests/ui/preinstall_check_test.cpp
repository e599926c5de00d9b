// The checks made before the wizard starts, without a display: the cleaning of
// the proposed directory, the free-space rule, the order of the checks and
// their messages (with fake services and a recording message callback), kit
// location, and one run against the real file system and kit reader.
#include "kit/preinstall_check.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "kit/kit_archive.h"
#include "kit/kit_writer.h"
#include "kit/signature_test_support.h"
#include "resources/resource_table.h"
#include "text/conversion.h"

namespace veskp8 {
namespace {

std::string Narrow(const WideString& s) { return WideToLocale(s).c_str(); }
WideString Wide(const std::string& s) { return LocaleToWide(s.c_str()); }

// Prints ReadExecutablePath() and ends, when the test binary is started as a
// child with this variable set (used to run a copy from a very long path).
const bool kPrintExecutablePathAndExit = [] {
  if (std::getenv("VESKP8_PRINT_EXECUTABLE_PATH") != nullptr) {
    const NarrowString path = ReadExecutablePath();
    std::fwrite(path.c_str(), 1, path.size(), stdout);
    std::fflush(stdout);
    _exit(0);
  }
  return false;
}();

TEST(CleanProposedDirectory, RemoteSchemesEmptyTheProposal) {
  EXPECT_EQ(Narrow(CleanProposedDirectory(Wide("http://server/tmpl"))), "");
  EXPECT_EQ(Narrow(CleanProposedDirectory(Wide("/home/u/https://x"))), "");
  EXPECT_EQ(Narrow(CleanProposedDirectory(Wide("ftp://h/t"))), "");
  // Emptied before "file://" is looked at.
  EXPECT_EQ(Narrow(CleanProposedDirectory(Wide("file://http://x"))), "");
  // Case matters: only the lower-case schemes are recognised.
  EXPECT_EQ(Narrow(CleanProposedDirectory(Wide("/t/HTTP://x"))), "/t/HTTP://x");
}

TEST(CleanProposedDirectory, FileSchemeSeparatorsAndLineEnds) {
  EXPECT_EQ(Narrow(CleanProposedDirectory(Wide("file:///home/u/tmpl"))), "/home/u/tmpl");
  // Only the first occurrence goes.
  EXPECT_EQ(Narrow(CleanProposedDirectory(Wide("file:///a/file://b"))), "/a/file://b");
  EXPECT_EQ(Narrow(CleanProposedDirectory(Wide("C:\\t\\b\\"))), "C:/t/b/");
  EXPECT_EQ(Narrow(CleanProposedDirectory(Wide("/t/c\r\n"))), "/t/c");
  EXPECT_EQ(Narrow(CleanProposedDirectory(Wide("/t/\nc\r"))), "/t/c");
  EXPECT_EQ(Narrow(CleanProposedDirectory(Wide("file://\\\\srv\\x\r\n"))), "//srv/x");
  EXPECT_EQ(Narrow(CleanProposedDirectory(Wide(""))), "");
}

TEST(HasRoomForKit, NeedsThreeTimesTheKitSize) {
  EXPECT_FALSE(HasRoomForKit(1000, 2999));
  EXPECT_TRUE(HasRoomForKit(1000, 3000));
  EXPECT_TRUE(HasRoomForKit(0, 0));
  // 64-bit arithmetic: the largest 32-bit kit needs almost 12 GiB.
  const std::uint64_t big = 0xFFFFFFFFu;
  EXPECT_FALSE(HasRoomForKit(big, 3 * big - 1));
  EXPECT_TRUE(HasRoomForKit(big, 3 * big));
  EXPECT_TRUE(HasRoomForKit(big - 1, std::uint64_t{5} << 32));
}

// The dialog's members and a record of what the checks did.
struct Harness {
  WideString kitPath;
  std::vector<WideString> templateDirs;
  WideString targetDir;
  bool scope1FileExists = false;
  bool listFromScope1 = false;
  KitArchive kit;
  std::atomic<bool> stop{false};
  PreinstallState state{true,           kitPath, templateDirs, targetDir, scope1FileExists,
                        listFromScope1, kit,     &stop};

  bool kitExists = true;
  bool scope0 = false;
  bool scope1 = false;
  std::vector<WideString> scope0List;
  std::vector<WideString> scope1List;
  std::vector<std::string> writable;
  ResultCode sizeResult = kOk;
  std::uint32_t kitSize = 1000;
  std::uint64_t freeBytes = 1u << 30;
  ResultCode openResult = kOk;
  // A stop (a signal) arrives during this call, e.g. "probe /b".
  std::string stopAt;
  const std::atomic<bool>* inflationStop = nullptr;  // what the open was given

  std::vector<std::string> calls;
  std::vector<std::string> messages;
  void Call(const std::string& call) {
    calls.push_back(call);
    if (call == stopAt) stop = true;
  }

  PreinstallServices Services() {
    PreinstallServices s;
    s.openKitFile = [this](const WideString& p, FileHandle& handle) {
      calls.push_back("exists " + Narrow(p));
      if (!kitExists) return kErrNotFound;
      handle = open("/dev/null", O_RDONLY | O_CLOEXEC);
      return kOk;
    };
    s.primaryConfigExists = [this](bool scope) { return scope ? scope1 : scope0; };
    s.readTemplateLocations = [this](std::vector<WideString>& list, bool scope) {
      calls.push_back(scope ? "read 1" : "read 0");
      for (const WideString& d : scope ? scope1List : scope0List) list.push_back(d);
    };
    s.isDirectoryWritable = [this](const WideString& d) {
      Call("probe " + Narrow(d));
      for (const std::string& w : writable) {
        if (w == Narrow(d)) return true;
      }
      return false;
    };
    s.defaultTemplateBase = [] { return Wide("/home/u/.veskp8/Vesk/veskp8/"); };
    s.fileSize = [this](const WideString&, std::uint32_t* size) {
      calls.push_back("size");
      if (sizeResult == kOk) *size = kitSize;
      return sizeResult;
    };
    s.freeSpace = [this](std::uint64_t* bytes) {
      calls.push_back("space");
      *bytes = freeBytes;
      return kOk;
    };
    s.openKit = [this](KitArchive&, FileHandle, const std::atomic<bool>* flag) {
      Call("open");
      inflationStop = flag;
      return openResult;
    };
    return s;
  }

  bool Run() {
    return RunPreinstallChecks(
        state, [this](const WideString& text) { messages.push_back(Narrow(text)); }, Services());
  }
};

const char kNoSource[] = "Distribution kit file veskp8.efd not found.";
const char kNoSpace[] = "Insufficient space available in the directory Temp.";
const char kDamaged[] =
    "Distribution kit file veskp8.efd corrupted or not designed for this installation program.";

std::string CurrentDirectory() { return ReadCurrentDirectory().c_str(); }

TEST(RunPreinstallChecks, MissingKitIsReportedFirstAndAlone) {
  Harness h;
  h.kitExists = false;
  h.freeBytes = 0;    // would fail too
  h.openResult = 13;  // would fail too
  EXPECT_FALSE(h.Run());
  EXPECT_EQ(h.messages, std::vector<std::string>{kNoSource});
  EXPECT_EQ(h.calls, std::vector<std::string>{"exists " + CurrentDirectory() + "/veskp8.efd"});
  EXPECT_TRUE(h.kitPath.empty());
}

TEST(RunPreinstallChecks, SpaceBelowThreeTimesTheKitStopsBeforeOpening) {
  Harness h;
  h.kitSize = 1000;
  h.freeBytes = 2999;
  h.openResult = 13;
  EXPECT_FALSE(h.Run());
  EXPECT_EQ(h.messages, std::vector<std::string>{kNoSpace});
  EXPECT_EQ(h.calls.back(), "space");
  EXPECT_EQ(Narrow(h.kitPath), CurrentDirectory() + "/veskp8.efd");

  Harness enough;
  enough.kitSize = 1000;
  enough.freeBytes = 3000;
  EXPECT_TRUE(enough.Run());
  EXPECT_TRUE(enough.messages.empty());
  EXPECT_EQ(enough.calls.back(), "open");
}

TEST(RunPreinstallChecks, UnknownKitSizeSkipsTheSpaceCheck) {
  Harness h;
  h.sizeResult = kErrSizeUnknown;
  h.freeBytes = 0;
  EXPECT_TRUE(h.Run());
  EXPECT_TRUE(h.messages.empty());
  for (const std::string& call : h.calls) EXPECT_NE(call, "space");
}

// A stop ends the checks at the next step, without a message: between two
// writability probes, and when a stopped inflation makes the open fail.
TEST(RunPreinstallChecks, StopEndsTheChecksSilently) {
  Harness probing;
  probing.scope0 = true;
  probing.scope0List = {Wide("/a"), Wide("/b"), Wide("/c")};
  probing.stopAt = "probe /b";
  EXPECT_FALSE(probing.Run());
  EXPECT_TRUE(probing.messages.empty());
  EXPECT_EQ(probing.calls.back(), "probe /b");

  Harness opening;
  opening.stopAt = "open";
  opening.openResult = kErrCancelled;
  EXPECT_FALSE(opening.Run());
  EXPECT_TRUE(opening.messages.empty());
  EXPECT_EQ(opening.inflationStop, &opening.stop) << "the inflation polls the same flag";
}

TEST(RunPreinstallChecks, KitThatDoesNotOpenIsDamaged) {
  Harness h;
  h.openResult = kErrInvalidData;
  EXPECT_FALSE(h.Run());
  EXPECT_EQ(h.messages, std::vector<std::string>{kDamaged});
}

TEST(RunPreinstallChecks, NoConfigurationProposesThePerUserDefault) {
  Harness h;
  EXPECT_TRUE(h.Run());
  EXPECT_EQ(Narrow(h.targetDir), "/home/u/.veskp8/Vesk/veskp8/tmplts/");
  EXPECT_TRUE(h.templateDirs.empty());
  EXPECT_FALSE(h.scope1FileExists);
  EXPECT_FALSE(h.listFromScope1);
  for (const std::string& call : h.calls) EXPECT_NE(call.rfind("read", 0), 0u) << call;
}

TEST(RunPreinstallChecks, ScopeZeroListWinsAndFirstWritableIsProposed) {
  Harness h;
  h.scope0 = true;
  h.scope1 = true;
  h.scope0List = {Wide("/ro/a"), Wide("/rw/b"), Wide("/rw/c")};
  h.scope1List = {Wide("/other")};
  h.writable = {"/rw/b", "/rw/c"};
  EXPECT_TRUE(h.Run());
  EXPECT_EQ(Narrow(h.targetDir), "/rw/b");
  EXPECT_TRUE(h.scope1FileExists);
  EXPECT_FALSE(h.listFromScope1);
  EXPECT_EQ(h.templateDirs.size(), 3u);
  // The walk stops at the first writable directory.
  std::vector<std::string> probes;
  for (const std::string& call : h.calls) {
    if (call.rfind("probe", 0) == 0) probes.push_back(call);
  }
  EXPECT_EQ(probes, (std::vector<std::string>{"probe /ro/a", "probe /rw/b"}));
}

TEST(RunPreinstallChecks, ScopeOneListIsUsedWithoutScopeZeroFile) {
  Harness h;
  h.scope1 = true;
  h.scope1List = {Wide("C:\\t\\b\r\n")};
  h.writable = {"C:\\t\\b\r\n"};
  EXPECT_TRUE(h.Run());
  EXPECT_TRUE(h.listFromScope1);
  EXPECT_TRUE(h.scope1FileExists);
  EXPECT_EQ(Narrow(h.targetDir), "C:/t/b");

  Harness empty;
  empty.scope1 = true;
  EXPECT_TRUE(empty.Run());
  EXPECT_FALSE(empty.listFromScope1);
  EXPECT_EQ(Narrow(empty.targetDir), "/home/u/.veskp8/Vesk/veskp8/tmplts/");
}

TEST(RunPreinstallChecks, RemoteProposalStaysEmptyWithoutFallback) {
  Harness h;
  h.scope0 = true;
  h.scope0List = {Wide("http://server/t"), Wide("/rw/b")};
  h.writable = {"http://server/t", "/rw/b"};
  EXPECT_TRUE(h.Run());
  EXPECT_TRUE(h.targetDir.empty());

  Harness file;
  file.scope0 = true;
  file.scope0List = {Wide("file:///home/u/tmpl")};
  file.writable = {"file:///home/u/tmpl"};
  EXPECT_TRUE(file.Run());
  EXPECT_EQ(Narrow(file.targetDir), "/home/u/tmpl");
}

TEST(LocateKit, BesideTheExecutableOrInTheCurrentDirectory) {
  EXPECT_EQ(Narrow(LocateKit(true)), CurrentDirectory() + "/veskp8.efd");
  std::string exe = ReadExecutablePath().c_str();
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(Narrow(LocateKit(false)), exe.substr(0, exe.rfind('/')) + "/veskp8.efd");
}

// Runs `program` with VESKP8_PRINT_EXECUTABLE_PATH set and returns its output.
std::string RunAndCapture(const std::string& program) {
  int fds[2];
  if (pipe(fds) != 0) return "";
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    setenv("VESKP8_PRINT_EXECUTABLE_PATH", "1", 1);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string out;
  char buffer[512];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0) out.append(buffer, n);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return out;
}

TEST(ReadExecutablePath, PathsLongerThan259BytesAreRead) {
  char base[] = "/tmp/veskp8-exe-XXXXXX";
  ASSERT_NE(mkdtemp(base), nullptr);
  std::string dir = base;
  std::vector<std::string> made;
  while (dir.size() < 600) {
    dir += "/a-rather-long-directory-name-to-pass-the-old-limit";
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    made.push_back(dir);
  }
  const std::string copy = dir + "/copy of the test";
  {
    std::ifstream in("/proc/self/exe", std::ios::binary);
    std::ofstream out(copy, std::ios::binary);
    out << in.rdbuf();
  }
  ASSERT_EQ(chmod(copy.c_str(), 0700), 0);
  EXPECT_EQ(RunAndCapture(copy), copy);
  unlink(copy.c_str());
  for (auto it = made.rbegin(); it != made.rend(); ++it) rmdir(it->c_str());
  rmdir(base);
}

// The checks against the real file system, configuration files and kit
// reader, in a private HOME, TMPDIR and working directory.
class RealChecks : public ::testing::Test {
 protected:
  void SetUp() override {
    char base[] = "/tmp/veskp8-pre-XXXXXX";
    ASSERT_NE(mkdtemp(base), nullptr);
    root_ = base;
    for (const char* sub : {"/home", "/tmp", "/cwd"}) mkdir((root_ + sub).c_str(), 0700);
    saved_home_ = std::getenv("HOME") ? std::getenv("HOME") : "";
    saved_tmp_ = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
    setenv("HOME", (root_ + "/home").c_str(), 1);
    setenv("TMPDIR", (root_ + "/tmp").c_str(), 1);
    saved_cwd_ = CurrentDirectory();
    ASSERT_EQ(chdir((root_ + "/cwd").c_str()), 0);
  }
  void TearDown() override {
    ASSERT_EQ(chdir(saved_cwd_.c_str()), 0);
    setenv("HOME", saved_home_.c_str(), 1);
    setenv("TMPDIR", saved_tmp_.c_str(), 1);
    const std::string command = "rm -rf '" + root_ + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }
  void WriteFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  std::vector<unsigned char> GoodKit() {
    std::vector<KitDescription> d = {{u"en", u"Product", u"Vendor", u"doc.txt"}};
    const std::string body = "hello";
    std::vector<KitEntry> e = {{u"doc.txt", 0, 0, static_cast<std::uint32_t>(body.size())}};
    std::vector<unsigned char> image;
    EXPECT_TRUE(EncodeKitTables(kMultiLanguageFormat, d, e, image));
    image.insert(image.end(), body.begin(), body.end());
    return DeflateRaw(image);
  }

  // Runs the checks with the real services on `h`'s members, collecting the
  // messages they show.
  [[nodiscard]] static bool RunRealChecks(Harness& h, std::vector<std::string>& messages) {
    return RunPreinstallChecks(
        h.state, [&](const WideString& t) { messages.push_back(Narrow(t)); },
        DefaultPreinstallServices());
  }

  std::string root_, saved_home_, saved_tmp_, saved_cwd_;
};

TEST_F(RealChecks, ValidKitOpensAndDefaultIsProposed) {
  WriteFile(root_ + "/cwd/veskp8.efd", GoodKit());
  Harness h;  // only its members; the services are the real ones
  std::vector<std::string> messages;
  EXPECT_TRUE(RunRealChecks(h, messages));
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(Narrow(h.targetDir), root_ + "/home/.veskp8/Vesk/veskp8/tmplts/");
  ASSERT_EQ(h.kit.entries().size(), 1u);
  EXPECT_EQ(Narrow(h.kit.descriptions().at(0).product), "Product");
}

TEST_F(RealChecks, RegisteredDirectoryAndDamagedKit) {
  mkdir((root_ + "/home/.Vesk").c_str(), 0700);
  mkdir((root_ + "/home/.Vesk/vesklaunch").c_str(), 0700);
  {
    std::ofstream cfg(root_ + "/home/.Vesk/vesklaunch/vesklaunch.cfg");
    cfg << "ConfigurationTemplatesLocation=" << root_ << "\\cwd\r\n";
  }
  WriteFile(root_ + "/cwd/veskp8.efd", {'n', 'o', 't', ' ', 'a', ' ', 'k', 'i', 't'});
  Harness h;
  std::vector<std::string> messages;
  EXPECT_FALSE(RunRealChecks(h, messages));
  EXPECT_EQ(messages, std::vector<std::string>{kDamaged});
  EXPECT_EQ(Narrow(h.targetDir), root_ + "/cwd");
  // A failed open leaves no inflated image behind.
  std::string leftover = "find '" + root_ + "/tmp' -name 'edf*' | grep -q .";
  EXPECT_NE(std::system(leftover.c_str()), 0);
}

// A signed kit passes with its key trusted; one that is written to between
// its check and its inflation is refused as changed, with nothing left.
TEST_F(RealChecks, SignedKitAndAKitChangedAfterItsCheck) {
  const std::vector<unsigned char> kit = GoodKit();
  const std::string path = root_ + "/cwd/veskp8.efd";
  WriteFile(path, kit);
  test::Signer signer;
  {
    std::ofstream signature(path + ".minisig", std::ios::binary);
    signature << signer.SignBytes(kit, "file:veskp8.efd");
  }
  for (const bool writeBetween : {false, true}) {
    SCOPED_TRACE(writeBetween);
    Harness h;
    KitSignatureState signature;
    signature.trusted.keys.push_back(signer.pub);
    h.state.signature = &signature;
    PreinstallServices services = DefaultPreinstallServices();
    const auto realOpen = services.openKit;
    services.openKit = [&](KitArchive& k, FileHandle file, const std::atomic<bool>* stop) {
      if (writeBetween) {
        usleep(20000);  // a tick later, for coarse file-system clocks
        const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
        EXPECT_EQ(pwrite(fd, kit.data(), 1, 0), 1);  // the same byte
        close(fd);
      }
      return realOpen(k, file, stop);
    };
    std::vector<std::string> messages;
    const PreinstallResult result = CheckBeforeInstall(
        h.state, [&](const WideString& t) { messages.push_back(Narrow(t)); }, services);
    if (!writeBetween) {
      EXPECT_EQ(result, PreinstallResult::kReady);
      EXPECT_EQ(signature.check.verdict, SignatureVerdict::kValid);
      EXPECT_EQ(signature.check.keyId, signer.pub.id);
      continue;
    }
    EXPECT_EQ(result, PreinstallResult::kSignatureRefused);
    EXPECT_EQ(messages, std::vector<std::string>{
                            "The distribution kit veskp8.efd does not match its signature: it has "
                            "been changed since it was signed."});
    EXPECT_EQ(Narrow(signature.subject), path);
    EXPECT_EQ(h.kit.imageHandle(), -1);
    std::string leftover = "find '" + root_ + "/tmp' -name 'edf*' | grep -q .";
    EXPECT_NE(std::system(leftover.c_str()), 0);
  }
}

TEST_F(RealChecks, NoKitInTheCurrentDirectory) {
  Harness h;
  std::vector<std::string> messages;
  EXPECT_FALSE(RunRealChecks(h, messages));
  EXPECT_EQ(messages, std::vector<std::string>{kNoSource});
}

TEST_F(RealChecks, AKitNameThatIsNotAFileIsNoKit) {
  const std::string kit = root_ + "/cwd/veskp8.efd";
  ASSERT_EQ(mkfifo(kit.c_str(), 0600), 0);
  alarm(30);  // opening the FIFO would block: end the test program instead
  for (int round = 0; round < 2; ++round) {
    Harness h;
    std::vector<std::string> messages;
    EXPECT_FALSE(RunRealChecks(h, messages));
    EXPECT_EQ(messages, std::vector<std::string>{kNoSource});
    EXPECT_TRUE(h.kitPath.empty()) << "the checks stop at the first step";
    if (round == 0) {
      ASSERT_EQ(unlink(kit.c_str()), 0);
      ASSERT_EQ(mkdir(kit.c_str(), 0700), 0);  // second round: a directory
    }
  }
  alarm(0);
}

}  // namespace
}  // namespace veskp8
