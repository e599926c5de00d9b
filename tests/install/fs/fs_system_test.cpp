// The path operations: temporary directory and files, mkdir -p / mv / rm run
// without a shell, size and free-space queries.
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <string>

#include "fs_test_support.h"
#include "gtest/gtest.h"
#include "install/fs/file_system.h"
#include "text/conversion.h"

namespace veskp8 {
namespace {

using test::Exists;
using test::IsDir;
using test::ReadText;
using test::ScopedCwd;
using test::ScopedEnv;
using test::ScratchDir;
using test::Wide;
using test::WriteText;

std::string Narrow(const WideString& w) { return std::string(WideToLocale(w).view()); }

TEST(GetTempDirectoryTest, FollowsTmpdirOnlyWhenItNamesADirectory) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_TRUE(WriteText(dir / "file", "x"));
  {
    ScopedEnv env("TMPDIR", std::nullopt);
    EXPECT_EQ(GetTempDirectory(), u"/tmp/");
  }
  {
    ScopedEnv env("TMPDIR", "/var/tmp");
    EXPECT_EQ(GetTempDirectory(), u"/var/tmp/");
  }
  {
    ScopedEnv env("TMPDIR", dir / "file");
    EXPECT_EQ(GetTempDirectory(), u"/tmp/");
  }
  {
    ScopedEnv env("TMPDIR", dir / "missing");
    EXPECT_EQ(GetTempDirectory(), u"/tmp/");
  }
  {
    ScopedEnv env("TMPDIR", "");
    EXPECT_EQ(GetTempDirectory(), u"/tmp/");
  }
  {
    ScopedEnv env("TMPDIR", dir.path() + "/");
    EXPECT_EQ(GetTempDirectory(), Wide(dir.path() + "/"));
  }
}

TEST(CreateTempFileTest, CreatesAnEmptyFileWithThePrefixInTheChosenDirectory) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  ScopedEnv env("TMPDIR", std::nullopt);
  WideString name;
  ASSERT_EQ(CreateTempFile(Wide(dir.path()), u"edfgh-long-prefix", name), kOk);
  const std::string narrow = Narrow(name);
  EXPECT_EQ(narrow.rfind(dir.path() + "/edfgh", 0), 0u) << narrow;
  EXPECT_EQ(narrow.size(), dir.path().size() + 1 + 5 + 6) << narrow;
  struct stat st {};
  ASSERT_EQ(stat(narrow.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_size, 0);

  // An empty prefix gives "file"; a trailing "/" on the directory is not doubled.
  ASSERT_EQ(CreateTempFile(Wide(dir.path() + "//"), u"", name), kOk);
  EXPECT_EQ(Narrow(name).rfind(dir.path() + "/file", 0), 0u) << Narrow(name);
}

TEST(CreateTempFileTest, TmpdirWinsOverTheGivenDirectory) {
  ScratchDir given;
  ScratchDir tmpdir;
  ASSERT_TRUE(given.ok() && tmpdir.ok());
  ScopedEnv env("TMPDIR", tmpdir.path());
  WideString name;
  ASSERT_EQ(CreateTempFile(Wide(given.path()), u"edf", name), kOk);
  EXPECT_EQ(Narrow(name).rfind(tmpdir.path() + "/edf", 0), 0u) << Narrow(name);
  EXPECT_TRUE(Exists(Narrow(name)));
}

TEST(CreateTempFileTest, MissingDirectoryFallsBackToTmp) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  ScopedEnv env("TMPDIR", dir / "missing-too");
  WideString name;
  ASSERT_EQ(CreateTempFile(Wide(dir / "missing"), u"vkt", name), kOk);
  const std::string narrow = Narrow(name);
  EXPECT_EQ(narrow.rfind("/tmp/vkt", 0), 0u) << narrow;
  EXPECT_TRUE(Exists(narrow));
  unlink(narrow.c_str());
}

TEST(CreateTempFileTest, EveryCallGetsANewFile) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  ScopedEnv env("TMPDIR", std::nullopt);
  // Files that already exist are never handed out again.
  std::set<std::string> names;
  for (int i = 0; i < 500; ++i) {
    WideString name;
    ASSERT_EQ(CreateTempFile(Wide(dir.path()), u"edf", name), kOk);
    EXPECT_TRUE(names.insert(Narrow(name)).second) << Narrow(name);
  }
  EXPECT_EQ(names.size(), 500u);
  for (const std::string& n : names) EXPECT_TRUE(Exists(n)) << n;
}

TEST(CreateTempFileTest, UnwritableDirectoryGives1013WithAName) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  ScopedEnv env("TMPDIR", std::nullopt);
  // /proc refuses new files even to root.
  WideString name;
  EXPECT_EQ(CreateTempFile(u"/proc", u"edf", name), kErrTempFile);
  EXPECT_EQ(Narrow(name).rfind("/proc/edf", 0), 0u) << Narrow(name);
}

TEST(CreateTempFileTest, UnrepresentableArgumentsGive87) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  ScopedEnv env("TMPDIR", std::nullopt);
  WideString name = u"stale";
  EXPECT_EQ(CreateTempFile(test::Unrepresentable(dir.path() + "/d"), u"edf", name),
            kErrInvalidParameter);
  EXPECT_TRUE(name.empty());
  EXPECT_EQ(CreateTempFile(Wide(dir.path()), test::Unrepresentable("e"), name),
            kErrInvalidParameter);
}

TEST(MakeDirectoriesTest, CreatesNestedExistingIsFineBelowAFileIs2) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  EXPECT_EQ(MakeDirectories(Wide(dir / "a/b/c")), kOk);
  EXPECT_TRUE(IsDir(dir / "a/b/c"));
  EXPECT_EQ(MakeDirectories(Wide(dir / "a/b/c")), kOk);
  ASSERT_TRUE(WriteText(dir / "file", "x"));
  EXPECT_EQ(MakeDirectories(Wide(dir / "file/sub")), kErrNotFound);
  EXPECT_EQ(MakeDirectories(test::Unrepresentable(dir / "u")), kErrInvalidParameter);
}

TEST(MovePathTest, MovesAndMissingSourceIs2) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_TRUE(WriteText(dir / "from", "content"));
  EXPECT_EQ(MovePath(Wide(dir / "from"), Wide(dir / "to")), kOk);
  EXPECT_FALSE(Exists(dir / "from"));
  EXPECT_EQ(ReadText(dir / "to"), "content");
  EXPECT_EQ(MovePath(Wide(dir / "missing"), Wide(dir / "other")), kErrNotFound);
  EXPECT_FALSE(Exists(dir / "other"));
  EXPECT_EQ(MovePath(test::Unrepresentable(dir / "u"), Wide(dir / "x")), kErrInvalidParameter);
  EXPECT_EQ(MovePath(Wide(dir / "to"), test::Unrepresentable(dir / "u")), kErrInvalidParameter);
  EXPECT_TRUE(Exists(dir / "to"));
}

TEST(RemoveTest, RemovesTreesAndFilesMissingIsFine) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_EQ(MakeDirectories(Wide(dir / "t/u/v")), kOk);
  ASSERT_TRUE(WriteText(dir / "t/u/v/f", "x"));
  ASSERT_TRUE(WriteText(dir / "f", "x"));
  EXPECT_EQ(RemoveTree(Wide(dir / "t")), kOk);
  EXPECT_FALSE(Exists(dir / "t"));
  EXPECT_EQ(RemoveFile(Wide(dir / "f")), kOk);
  EXPECT_FALSE(Exists(dir / "f"));
  EXPECT_EQ(RemoveTree(Wide(dir / "missing")), kOk);
  EXPECT_EQ(RemoveFile(Wide(dir / "missing")), kOk);
  // A path that would reach rm shortened is refused: "<dir>/x" + U+D800 must
  // not become "<dir>/x".
  ASSERT_TRUE(WriteText(dir / "x", "keep"));
  EXPECT_EQ(RemoveFile(test::Unrepresentable(dir / "x")), kErrInvalidParameter);
  EXPECT_EQ(RemoveTree(test::Unrepresentable(dir / "x")), kErrInvalidParameter);
  WideString with_zero = Wide(dir / "x");
  with_zero.push_back(u'\0');
  with_zero += u"tail";
  EXPECT_EQ(RemoveTree(with_zero), kErrInvalidParameter);
  EXPECT_EQ(ReadText(dir / "x"), "keep");
}

// Characters that a shell would interpret must reach the programs literally,
// one argument each; a leading "-" must be a path, not an option.
class HostilePathTest : public ::testing::TestWithParam<std::string> {};

TEST_P(HostilePathTest, EveryCommandTakesThePathLiterally) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  ScopedCwd cwd(dir.path());
  ASSERT_TRUE(cwd.ok());
  const std::string name = GetParam();
  // A decoy that a misquoted command would hit instead.
  ASSERT_TRUE(WriteText(dir / "decoy", "decoy"));

  // Relative names, so that a leading "-" is the first character mkdir sees.
  ASSERT_EQ(MakeDirectories(Wide(name + "/" + name)), kOk);
  EXPECT_TRUE(IsDir(dir / (name + "/" + name)));

  ASSERT_TRUE(WriteText(dir / (name + "/f"), "payload"));
  ASSERT_EQ(MovePath(Wide(name + "/f"), Wide(name + "/" + name + "/" + name)), kOk);
  EXPECT_EQ(ReadText(dir / (name + "/" + name + "/" + name)), "payload");
  EXPECT_FALSE(Exists(dir / (name + "/f")));

  ASSERT_EQ(RemoveFile(Wide(name + "/" + name + "/" + name)), kOk);
  EXPECT_FALSE(Exists(dir / (name + "/" + name + "/" + name)));
  EXPECT_TRUE(IsDir(dir / (name + "/" + name)));

  ASSERT_EQ(RemoveTree(Wide(name)), kOk);
  EXPECT_FALSE(Exists(dir / name));

  // The temporary file goes into the directory of that name.
  ASSERT_EQ(MakeDirectories(Wide(dir / name)), kOk);
  {
    ScopedEnv env("TMPDIR", std::nullopt);
    WideString temp;
    ASSERT_EQ(CreateTempFile(Wide(dir / name), Wide(name), temp), kOk);
    EXPECT_EQ(Narrow(temp).rfind(dir / name + "/", 0), 0u) << Narrow(temp);
    EXPECT_TRUE(Exists(Narrow(temp)));
  }

  EXPECT_EQ(ReadText(dir / "decoy"), "decoy");
  EXPECT_FALSE(Exists(dir / "pwned"));
}

INSTANTIATE_TEST_SUITE_P(ShellCharacters, HostilePathTest,
                         ::testing::Values("quote\"d", "dollar$HOME", "sub$(touch pwned)",
                                           "back`touch pwned`tick", "back\\slash", "new\nline",
                                           "-rf", "--help", "-", "semi;touch pwned", "star*",
                                           "space d"));

TEST(ExternalProgramTest, ProgramThatCannotStartGives87) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_TRUE(WriteText(dir / "f", "x"));
  ScopedEnv path("PATH", dir / "no-programs-here");
  EXPECT_EQ(MakeDirectories(Wide(dir / "d")), kErrInvalidParameter);
  EXPECT_EQ(MovePath(Wide(dir / "f"), Wide(dir / "g")), kErrInvalidParameter);
  EXPECT_FALSE(Exists(dir / "d"));
  EXPECT_TRUE(Exists(dir / "f"));
  // The removals report 0 whatever happened.
  EXPECT_EQ(RemoveFile(Wide(dir / "f")), kOk);
  EXPECT_EQ(RemoveTree(Wide(dir / "f")), kOk);
}

TEST(ExternalProgramTest, StatusMapping) {
  const int exited0 = 0;
  const int exited1 = 1 << 8;
  const int exited2 = 2 << 8;
  const int killed = SIGKILL;
  EXPECT_EQ(MakeDirectoriesStatusToCode(-1), kErrInvalidParameter);
  EXPECT_EQ(MakeDirectoriesStatusToCode(exited0), kOk);
  EXPECT_EQ(MakeDirectoriesStatusToCode(exited1), kErrNotFound);
  EXPECT_EQ(MakeDirectoriesStatusToCode(exited2), kErrNotFound);
  EXPECT_EQ(MakeDirectoriesStatusToCode(killed), kOk);
  EXPECT_EQ(MakeDirectoriesStatusToCode(SIGSEGV | 0x80), kOk);  // core dumped
  EXPECT_EQ(MoveStatusToCode(-1), kErrInvalidParameter);
  EXPECT_EQ(MoveStatusToCode(exited0), kOk);
  EXPECT_EQ(MoveStatusToCode(exited1), kErrNotFound);
  EXPECT_EQ(MoveStatusToCode(exited2), kOk);
  EXPECT_EQ(MoveStatusToCode(killed), kOk);
  ASSERT_TRUE(WIFEXITED(exited1) && WEXITSTATUS(exited1) == 1);
  ASSERT_TRUE(WIFSIGNALED(killed));
}

TEST(QueryFileSizeTest, SizeOrOne) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_TRUE(WriteText(dir / "f", std::string(1000, 'a')));
  std::uint32_t size = 7;
  EXPECT_EQ(QueryFileSize(Wide(dir / "f"), &size), kOk);
  EXPECT_EQ(size, 1000u);
  size = 7;
  EXPECT_EQ(QueryFileSize(Wide(dir / "missing"), &size), kErrSizeUnknown);
  EXPECT_EQ(size, 7u);
  EXPECT_EQ(QueryFileSize(Wide(dir / "f"), nullptr), kErrSizeUnknown);
  EXPECT_EQ(QueryFileSize(test::Unrepresentable(dir / "f"), &size), kErrSizeUnknown);
  EXPECT_EQ(size, 7u);
}

TEST(QueryFileSizeTest, LowThirtyTwoBitsOfALargeFile) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_TRUE(WriteText(dir / "sparse", ""));
  // A sparse file of 4 GiB + 5 bytes occupies no space.
  ASSERT_EQ(truncate((dir / "sparse").c_str(), (1LL << 32) + 5), 0);
  std::uint32_t size = 0;
  EXPECT_EQ(QueryFileSize(Wide(dir / "sparse"), &size), kOk);
  EXPECT_EQ(size, 5u);
}

TEST(QueryFreeSpaceTest, FragmentSizeTimesFreeBlocksOfTheTemporaryDirectory) {
  EXPECT_EQ(QueryFreeSpace(nullptr), kErrInvalidParameter);
  // A directory on the build tree's file system, where the blocks reserved
  // for the superuser make f_bfree differ from f_bavail.
  ScratchDir dir(".");
  ASSERT_TRUE(dir.ok());
  ScopedEnv env("TMPDIR", dir.path());
  struct statvfs info {};
  ASSERT_EQ(statvfs(dir.path().c_str(), &info), 0);
  std::uint64_t bytes = 0;
  ASSERT_EQ(QueryFreeSpace(&bytes), kOk);
  const std::uint64_t expected = std::uint64_t{info.f_bfree} * info.f_frsize;
  // Other processes write meanwhile: allow 256 MiB of drift.
  const std::uint64_t drift = 256ull << 20;
  EXPECT_GT(bytes, 0u);
  EXPECT_LE(bytes, expected + drift);
  EXPECT_GE(bytes + drift, expected);
  if ((info.f_bfree - info.f_bavail) * std::uint64_t{info.f_frsize} > 4 * drift) {
    EXPECT_GT(bytes, std::uint64_t{info.f_bavail} * info.f_frsize + 2 * drift);
  }

  // TMPDIR naming a missing directory: the space of /tmp is reported.
  ScopedEnv missing("TMPDIR", dir / "missing");
  ASSERT_EQ(QueryFreeSpace(&bytes), kOk);
  EXPECT_GT(bytes, 0u);
}

}  // namespace
}  // namespace veskp8
