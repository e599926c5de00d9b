// Native moves and removals (also across file systems), path kinds, one-level
// directory creation, no-follow listings, and running programs.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "fs_test_support.h"
#include "gtest/gtest.h"
#include "install/fs/file_system_native.h"
#include "install/fs/process.h"
#include "text/conversion.h"

namespace veskp8 {
namespace {

using test::Exists;
using test::IsDir;
using test::IsLink;
using test::ReadText;
using test::ScratchDir;
using test::Wide;
using test::WriteText;

std::vector<std::string> Names(const std::string& dir) {
  std::vector<DirectoryEntry> entries;
  EXPECT_EQ(ListDirectoryNoFollow(Wide(dir), entries), kOk);
  std::vector<std::string> names;
  for (const DirectoryEntry& e : entries) names.emplace_back(WideToLocale(e.name).view());
  std::sort(names.begin(), names.end());
  return names;
}

void SetTimes(const std::string& path, long sec, long nsec, bool follow = true) {
  const struct timespec times[2] = {{sec - 100, nsec}, {sec, nsec}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, follow ? 0 : AT_SYMLINK_NOFOLLOW), 0);
}

TEST(QueryPathKindTest, EveryKindWithoutFollowingLinks) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_TRUE(WriteText(dir / "f", "x"));
  ASSERT_EQ(mkdir((dir / "d").c_str(), 0755), 0);
  ASSERT_EQ(symlink("d", (dir / "link").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (dir / "dangling").c_str()), 0);
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(QueryPathKind(Wide(dir / "f")), PathKind::kRegular);
  EXPECT_EQ(QueryPathKind(Wide(dir / "d")), PathKind::kDirectory);
  EXPECT_EQ(QueryPathKind(Wide(dir / "link")), PathKind::kSymlink);
  EXPECT_EQ(QueryPathKind(Wide(dir / "dangling")), PathKind::kSymlink);
  EXPECT_EQ(QueryPathKind(Wide(dir / "fifo")), PathKind::kOther);
  EXPECT_EQ(QueryPathKind(u"/dev/null"), PathKind::kOther);
  EXPECT_EQ(QueryPathKind(Wide(dir / "missing")), PathKind::kMissing);
  EXPECT_EQ(QueryPathKind(Wide(dir / "f/below-a-file")), PathKind::kMissing);
  EXPECT_EQ(QueryPathKind(test::Unrepresentable(dir / "f")), PathKind::kUnknown);
}

TEST(MovePathNativeTest, RenameWithinOneFileSystem) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_TRUE(WriteText(dir / "a", "new"));
  ASSERT_TRUE(WriteText(dir / "b", "old"));
  ASSERT_EQ(mkdir((dir / "d").c_str(), 0755), 0);
  EXPECT_EQ(MovePathNative(Wide(dir / "a"), Wide(dir / "b")), kOk);  // replaces
  EXPECT_EQ(ReadText(dir / "b"), "new");
  EXPECT_FALSE(Exists(dir / "a"));
  // The destination is the new name, never a directory to move into.
  EXPECT_EQ(MovePathNative(Wide(dir / "b"), Wide(dir / "d")), kErrNotFound);
  EXPECT_TRUE(Exists(dir / "b"));
  EXPECT_FALSE(Exists(dir / "d/b"));
  EXPECT_EQ(MovePathNative(Wide(dir / "missing"), Wide(dir / "c")), kErrNotFound);
  EXPECT_EQ(MovePathNative(Wide(dir / "b"), Wide(dir / "no/parent")), kErrNotFound);
  EXPECT_EQ(MovePathNative(test::Unrepresentable(dir / "b"), Wide(dir / "c")),
            kErrInvalidParameter);
  EXPECT_EQ(MovePathNative(Wide(dir / "b"), test::Unrepresentable(dir / "c")),
            kErrInvalidParameter);
  EXPECT_TRUE(Exists(dir / "b"));
}

class CrossDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!shm.ok()) GTEST_SKIP() << "no writable /dev/shm (tmpfs) on this machine";
    ASSERT_TRUE(work.ok());
    struct stat a {};
    struct stat b {};
    ASSERT_EQ(stat(shm.path().c_str(), &a), 0);
    ASSERT_EQ(stat(work.path().c_str(), &b), 0);
    if (a.st_dev == b.st_dev) GTEST_SKIP() << "/dev/shm and the build directory share a device";
  }
  ScratchDir shm{"/dev/shm"};
  // Below the working directory (the build tree), not /tmp, which may be tmpfs too.
  ScratchDir work{"."};
};

TEST_F(CrossDeviceTest, RegularFileKeepsContentModeAndTimesBothWays) {
  std::string content(3 << 20, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 + i / 9);
  ASSERT_TRUE(WriteText(work / "f", content));
  ASSERT_EQ(chmod((work / "f").c_str(), 0751), 0);
  SetTimes(work / "f", 1234567890, 123456789);

  ASSERT_EQ(MovePathNative(Wide(work / "f"), Wide(shm / "f")), kOk);
  EXPECT_FALSE(Exists(work / "f"));
  ASSERT_EQ(MovePathNative(Wide(shm / "f"), Wide(work / "back")), kOk);
  EXPECT_FALSE(Exists(shm / "f"));

  struct stat st {};
  ASSERT_EQ(lstat((work / "back").c_str(), &st), 0);
  EXPECT_EQ(ReadText(work / "back"), content);
  EXPECT_EQ(st.st_mode & 07777, 0751u);
  EXPECT_EQ(st.st_mtim.tv_sec, 1234567890);
  EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);
  EXPECT_EQ(st.st_atim.tv_sec, 1234567890 - 100);
  // No helper names are left beside the destinations.
  EXPECT_EQ(Names(work.path()), std::vector<std::string>{"back"});
  EXPECT_TRUE(Names(shm.path()).empty());
}

TEST_F(CrossDeviceTest, ReplacesAnExistingFileOrLinkButNotADirectory) {
  ASSERT_TRUE(WriteText(shm / "f", "new"));
  ASSERT_TRUE(WriteText(work / "target", "outside"));
  ASSERT_EQ(symlink("target", (work / "link").c_str()), 0);
  ASSERT_EQ(MovePathNative(Wide(shm / "f"), Wide(work / "link")), kOk);
  EXPECT_FALSE(IsLink(work / "link"));  // the link was replaced, not written through
  EXPECT_EQ(ReadText(work / "link"), "new");
  EXPECT_EQ(ReadText(work / "target"), "outside");

  ASSERT_TRUE(WriteText(shm / "g", "g"));
  ASSERT_EQ(mkdir((work / "dir").c_str(), 0755), 0);
  EXPECT_EQ(MovePathNative(Wide(shm / "g"), Wide(work / "dir")), kErrNotFound);
  EXPECT_EQ(ReadText(shm / "g"), "g");  // the source stays
  EXPECT_TRUE(Names(work / "dir").empty());
  const std::vector<std::string> expected = {"dir", "link", "target"};
  EXPECT_EQ(Names(work.path()), expected);
  EXPECT_EQ(MovePathNative(Wide(shm / "g"), Wide(work / "no/parent")), kErrNotFound);
  EXPECT_EQ(ReadText(shm / "g"), "g");
}

TEST_F(CrossDeviceTest, MoveNoReplaceKeepsAttributesAndNeverReplaces) {
  ASSERT_TRUE(WriteText(work / "f", "original"));
  ASSERT_EQ(setxattr((work / "f").c_str(), "user.note", "kept", 4, 0), 0);
  // An access ACL with an entry for user nobody (the kernel's xattr form).
  const std::uint32_t acl[] = {2,   0x00060001, ~0u, 0x00040002, 65534, 0x00040004,
                               ~0u, 0x00040010, ~0u, 0x00000020, ~0u};
  const bool aclSet =
      setxattr((work / "f").c_str(), "system.posix_acl_access", acl, sizeof acl, 0) == 0;
  ASSERT_TRUE(WriteText(shm / "taken", "someone's"));
  ASSERT_TRUE(WriteText(work / "taken", "someone else's"));
  for (const std::string& destination : {shm / "taken", work / "taken"}) {
    EXPECT_EQ(MoveNoReplace(Wide(work / "f"), Wide(destination)), MoveResult::kTargetExists);
  }
  EXPECT_EQ(ReadText(shm / "taken"), "someone's");
  EXPECT_EQ(ReadText(work / "taken"), "someone else's");
  EXPECT_EQ(ReadText(work / "f"), "original");

  struct stat moved {};
  ASSERT_EQ(MoveNoReplace(Wide(work / "f"), Wide(shm / "f"), &moved), MoveResult::kMoved);
  ASSERT_EQ(MoveNoReplace(Wide(shm / "f"), Wide(work / "back")), MoveResult::kMoved);
  EXPECT_EQ(ReadText(work / "back"), "original");
  char value[128];
  ASSERT_EQ(getxattr((work / "back").c_str(), "user.note", value, sizeof value), 4);
  EXPECT_EQ(std::string(value, 4), "kept");
  if (aclSet) {
    EXPECT_EQ(getxattr((work / "back").c_str(), "system.posix_acl_access", value, sizeof value),
              static_cast<ssize_t>(sizeof acl));
    EXPECT_EQ(std::memcmp(value, acl, sizeof acl), 0) << "the ACL came back";
  }
  EXPECT_EQ(MoveNoReplace(Wide(work / "missing"), Wide(shm / "x")), MoveResult::kFailed);
  EXPECT_EQ(Names(shm.path()), std::vector<std::string>{"taken"}) << "no helper names left";
}

TEST_F(CrossDeviceTest, LinkIsMovedAsALink) {
  ASSERT_EQ(symlink("../somewhere/else", (work / "l").c_str()), 0);
  SetTimes(work / "l", 1111111111, 5, false);
  ASSERT_EQ(MovePathNative(Wide(work / "l"), Wide(shm / "l")), kOk);
  EXPECT_FALSE(Exists(work / "l"));
  ASSERT_TRUE(IsLink(shm / "l"));
  char target[64] = {};
  ASSERT_GT(readlink((shm / "l").c_str(), target, sizeof target - 1), 0);
  EXPECT_STREQ(target, "../somewhere/else");
  struct stat st {};
  ASSERT_EQ(lstat((shm / "l").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1111111111);
}

TEST_F(CrossDeviceTest, DirectoryIsMovedWhole) {
  ASSERT_EQ(mkdir((work / "d").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((work / "d/e").c_str(), 0700), 0);
  ASSERT_TRUE(WriteText(work / "d/e/f", "deep"));
  ASSERT_EQ(MovePathNative(Wide(work / "d"), Wide(shm / "d")), kOk);
  EXPECT_FALSE(Exists(work / "d"));
  EXPECT_EQ(ReadText(shm / "d/e/f"), "deep");
}

TEST(FullFileSystemTest, FailedCopyLeavesSourceAndNothingBehind) {
  ScratchDir work(".");
  ScratchDir mountpoint;
  ASSERT_TRUE(work.ok() && mountpoint.ok());
  if (mount("tmpfs", mountpoint.path().c_str(), "tmpfs", 0, "size=1m") != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
  }
  const std::string big(3 << 20, 'b');
  ASSERT_TRUE(WriteText(work / "big", big));
  ASSERT_TRUE(WriteText(mountpoint / "old", "old"));
  EXPECT_EQ(MovePathNative(Wide(work / "big"), Wide(mountpoint / "old")), kErrNotFound);
  EXPECT_EQ(ReadText(work / "big"), big);
  EXPECT_EQ(ReadText(mountpoint / "old"), "old");  // the destination is untouched
  EXPECT_EQ(Names(mountpoint.path()), std::vector<std::string>{"old"});
  ASSERT_EQ(umount2(mountpoint.path().c_str(), MNT_DETACH), 0);
}

TEST(RemovalTest, UnlinkRmdirAndTreesNeverFollowLinks) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_EQ(mkdir((dir / "outside").c_str(), 0755), 0);
  ASSERT_TRUE(WriteText(dir / "outside/keep", "keep"));
  ASSERT_EQ(mkdir((dir / "tree").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((dir / "tree/sub").c_str(), 0755), 0);
  ASSERT_TRUE(WriteText(dir / "tree/sub/f", "x"));
  ASSERT_EQ(symlink("../../outside", (dir / "tree/sub/to-outside").c_str()), 0);
  ASSERT_EQ(symlink("../outside/keep", (dir / "tree/to-keep").c_str()), 0);

  EXPECT_EQ(RemoveDirectory(Wide(dir / "tree")), kErrInvalidParameter);  // not empty
  EXPECT_EQ(RemoveDirectory(Wide(dir / "tree/sub/to-outside")), kErrInvalidParameter);
  EXPECT_EQ(RemoveFileNoFollow(Wide(dir / "tree/sub")), kErrInvalidParameter);
  EXPECT_EQ(RemoveFileNoFollow(Wide(dir / "tree/to-keep")), kOk);
  EXPECT_EQ(ReadText(dir / "outside/keep"), "keep");
  EXPECT_EQ(RemoveFileNoFollow(Wide(dir / "tree/to-keep")), kErrNotFound);

  EXPECT_EQ(RemoveTreeNoFollow(Wide(dir / "tree")), kOk);
  EXPECT_FALSE(Exists(dir / "tree"));
  EXPECT_EQ(ReadText(dir / "outside/keep"), "keep");
  EXPECT_EQ(RemoveTreeNoFollow(Wide(dir / "tree")), kOk);  // missing is fine

  // A link given as the tree itself is removed, not what it points to.
  ASSERT_EQ(symlink("outside", (dir / "link").c_str()), 0);
  EXPECT_EQ(RemoveTreeNoFollow(Wide(dir / "link")), kOk);
  EXPECT_FALSE(Exists(dir / "link"));
  EXPECT_EQ(ReadText(dir / "outside/keep"), "keep");

  ASSERT_EQ(mkdir((dir / "empty").c_str(), 0755), 0);
  EXPECT_EQ(RemoveDirectory(Wide(dir / "empty")), kOk);
  EXPECT_EQ(RemoveDirectory(Wide(dir / "empty")), kErrNotFound);
  EXPECT_EQ(RemoveTreeNoFollow(test::Unrepresentable(dir / "outside")), kErrInvalidParameter);
  EXPECT_EQ(RemoveFileNoFollow(test::Unrepresentable(dir / "outside/keep")), kErrInvalidParameter);
  EXPECT_EQ(ReadText(dir / "outside/keep"), "keep");
}

TEST(RemovalTest, TreeThatCannotBeEmptiedReports87AndRemovesTheRest) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_EQ(mkdir((dir / "tree").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((dir / "tree/locked").c_str(), 0755), 0);
  ASSERT_TRUE(WriteText(dir / "tree/locked/f", "x"));
  ASSERT_TRUE(WriteText(dir / "tree/free", "x"));
  ASSERT_EQ(chmod((dir / "tree/locked").c_str(), 0555), 0);
  // Root ignores the permission bits: remove as an unprivileged user.
  ASSERT_EQ(chown(dir.path().c_str(), 65534, 65534), 0);
  ASSERT_EQ(lchown((dir / "tree").c_str(), 65534, 65534), 0);
  ASSERT_EQ(lchown((dir / "tree/locked").c_str(), 65534, 65534), 0);
  ASSERT_EQ(lchown((dir / "tree/locked/f").c_str(), 65534, 65534), 0);
  ASSERT_EQ(lchown((dir / "tree/free").c_str(), 65534, 65534), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(90);
    _exit(RemoveTreeNoFollow(Wide(dir / "tree")) == kErrInvalidParameter ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_NE(WEXITSTATUS(status), 90) << "cannot drop to nobody";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(Exists(dir / "tree/free"));
  EXPECT_TRUE(Exists(dir / "tree/locked/f"));
}

TEST(MakeDirectoryOnceTest, FourOutcomes) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_TRUE(WriteText(dir / "file", "x"));
  ASSERT_EQ(symlink(".", (dir / "self").c_str()), 0);
  const mode_t old_mask = umask(022);
  EXPECT_EQ(MakeDirectoryOnce(Wide(dir / "d"), 0700), MakeDirectoryResult::kCreated);
  umask(old_mask);
  struct stat st {};
  ASSERT_EQ(stat((dir / "d").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  EXPECT_EQ(MakeDirectoryOnce(Wide(dir / "d")), MakeDirectoryResult::kAlreadyDirectory);
  EXPECT_EQ(MakeDirectoryOnce(Wide(dir / "self")), MakeDirectoryResult::kAlreadyDirectory);
  EXPECT_EQ(MakeDirectoryOnce(Wide(dir / "file")), MakeDirectoryResult::kExistsNotDirectory);
  EXPECT_EQ(MakeDirectoryOnce(Wide(dir / "a/b")), MakeDirectoryResult::kFailed);
  EXPECT_EQ(MakeDirectoryOnce(test::Unrepresentable(dir / "u")), MakeDirectoryResult::kFailed);
}

TEST(ListDirectoryNoFollowTest, KindsFromTheEntriesThemselves) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_TRUE(WriteText(dir / "f", "x"));
  ASSERT_EQ(mkdir((dir / "d").c_str(), 0755), 0);
  ASSERT_EQ(symlink("d", (dir / "to-dir").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (dir / "dangling").c_str()), 0);
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  std::vector<DirectoryEntry> entries = {{u"stale", PathKind::kRegular}};
  ASSERT_EQ(ListDirectoryNoFollow(Wide(dir.path()), entries), kOk);
  std::sort(entries.begin(), entries.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].name, u"d");
  EXPECT_EQ(entries[0].kind, PathKind::kDirectory);
  EXPECT_EQ(entries[1].name, u"dangling");
  EXPECT_EQ(entries[1].kind, PathKind::kSymlink);
  EXPECT_EQ(entries[2].name, u"f");
  EXPECT_EQ(entries[2].kind, PathKind::kRegular);
  EXPECT_EQ(entries[3].name, u"fifo");
  EXPECT_EQ(entries[3].kind, PathKind::kOther);
  EXPECT_EQ(entries[4].name, u"to-dir");
  EXPECT_EQ(entries[4].kind, PathKind::kSymlink);

  EXPECT_EQ(ListDirectoryNoFollow(Wide(dir / "missing"), entries), kErrNotFound);
  EXPECT_TRUE(entries.empty());
  EXPECT_EQ(ListDirectoryNoFollow(Wide(dir / "f"), entries), kErrInvalidParameter);
}

TEST(RunProgramTest, ArgumentsArriveLiterallyAndStatusesAreWaitStatuses) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string out = dir / "args";
  // The shell here is the program under test's stand-in: it prints its own
  // arguments one per line, proving each arrived as one argument.
  const std::vector<NarrowString> argv = {"sh",
                                          "-c",
                                          "for a; do printf '[%s]\\n' \"$a\"; done > \"$0\"",
                                          NarrowString(out),
                                          "a b",
                                          "$HOME",
                                          "`id`",
                                          "\"q\"",
                                          "back\\slash",
                                          "new\nline",
                                          "-rf"};
  const int status = RunProgram(argv, true);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadText(out), "[a b]\n[$HOME]\n[`id`]\n[\"q\"]\n[back\\slash]\n[new\nline]\n[-rf]\n");

  EXPECT_EQ(RunProgram({"sh", "-c", "exit 3"}, true), 3 << 8);
  const int killed = RunProgram({"sh", "-c", "kill -TERM $$"}, true);
  EXPECT_TRUE(WIFSIGNALED(killed));
  EXPECT_EQ(WTERMSIG(killed), SIGTERM);
  EXPECT_EQ(RunProgram({"veskp8-no-such-program"}, true), -1);
  EXPECT_EQ(RunProgram({}, true), -1);
  EXPECT_EQ(RunProgram({NarrowString(dir.path())}, true), -1);  // not executable
}

TEST(RunProgramTest, StandardErrorInheritedOrDiscarded) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string capture = dir / "stderr";
  const int saved = dup(STDERR_FILENO);
  ASSERT_GE(saved, 0);
  const int fd = open(capture.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(dup2(fd, STDERR_FILENO), STDERR_FILENO);
  close(fd);
  const int discarded = RunProgram({"sh", "-c", "echo hidden >&2"}, true);
  const int kept = RunProgram({"sh", "-c", "echo shown >&2"}, false);
  dup2(saved, STDERR_FILENO);
  close(saved);
  EXPECT_EQ(discarded, 0);
  EXPECT_EQ(kept, 0);
  EXPECT_EQ(ReadText(capture), "shown\n");
}

}  // namespace
}  // namespace veskp8
