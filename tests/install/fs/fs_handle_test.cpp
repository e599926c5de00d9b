// The file handle layer and the last error, and the tick conversions.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "fs_test_support.h"
#include "gtest/gtest.h"
#include "install/fs/file_handle.h"
#include "install/fs/file_time.h"

namespace veskp8 {
namespace {

using test::ReadText;
using test::ScratchDir;
using test::Wide;
using test::WriteText;

static_assert(TicksToUnixSeconds(116444736000000000ULL) == 0);
static_assert(TicksToUnixSeconds(116444736015000000ULL) == 1);
static_assert(UnixSecondsToTicks(0) == 116444736000000000ULL);
static_assert(UnixSecondsToTicks(1) == 116444736010000000ULL);

TEST(FileTimeTest, ConversionsDropTheSubSecondPart) {
  EXPECT_EQ(TicksToUnixSeconds(116444736000000000ULL), 0);
  EXPECT_EQ(TicksToUnixSeconds(116444736015000000ULL), 1);
  EXPECT_EQ(TicksToUnixSeconds(116444736019999999ULL), 1);
  EXPECT_EQ(TicksToUnixSeconds(0), -11644473600LL);
  EXPECT_EQ(TicksToUnixSeconds(116444735990000000ULL), -1);
  for (std::int64_t s : {0LL, 1LL, 1700000000LL, 4102444800LL, -1LL, -11644473600LL}) {
    EXPECT_EQ(TicksToUnixSeconds(UnixSecondsToTicks(s)), s) << s;
  }
}

class FileHandleTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.ok()); }
  ScratchDir dir;
};

TEST_F(FileHandleTest, OpenMissingForReadingIs2AndSetsTheLastError) {
  FileHandle h = 12345;
  EXPECT_EQ(OpenFileHandle(Wide(dir / "missing"), kAccessRead, 0, kOpenExisting, h, 0x80), 2);
  EXPECT_EQ(LastError(), 2);
  EXPECT_EQ(h, 12345);
  // A missing parent directory is ENOENT too; a directory opened for writing is another error.
  EXPECT_EQ(OpenFileHandle(Wide(dir / "no/file"), kAccessWrite, 0, kCreateKeepContent, h, 0), 2);
  EXPECT_EQ(OpenFileHandle(Wide(dir.path()), kAccessWrite, 0, kOpenExisting, h, 0), 87);
  EXPECT_EQ(LastError(), 87);
  EXPECT_EQ(h, 12345);
  EXPECT_EQ(
      OpenFileHandle(test::Unrepresentable(dir / "f"), kAccessWrite, 0, kCreateKeepContent, h, 0),
      87);
  EXPECT_EQ(h, 12345);
  // A successful open clears the last error.
  ASSERT_TRUE(WriteText(dir / "f", "x"));
  ASSERT_EQ(OpenFileHandle(Wide(dir / "f"), kAccessRead, 0, kOpenExisting, h, 0x8000080), 0);
  EXPECT_EQ(LastError(), 0);
  EXPECT_EQ(fcntl(h, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
  EXPECT_EQ(CloseFile(h), 0);
}

TEST_F(FileHandleTest, CreateUses0660MinusTheUmaskAndKeepsContent) {
  const mode_t old_mask = umask(027);
  FileHandle h = kNoFileHandle;
  const ResultCode created =
      OpenFileHandle(Wide(dir / "new"), kAccessWrite, 0, kCreateKeepContent, h, 0x80);
  umask(old_mask);
  ASSERT_EQ(created, 0);
  struct stat st {};
  ASSERT_EQ(fstat(h, &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(fcntl(h, F_GETFL) & O_ACCMODE, O_WRONLY);
  EXPECT_EQ(CloseFile(h), 0);

  ASSERT_TRUE(WriteText(dir / "old", "old content"));
  ASSERT_EQ(OpenFileHandle(Wide(dir / "old"), kAccessWrite, 0, kCreateKeepContent, h, 0), 0);
  EXPECT_EQ(CloseFile(h), 0);
  EXPECT_EQ(ReadText(dir / "old"), "old content");
  ASSERT_EQ(OpenFileHandle(Wide(dir / "old"), kAccessReadWrite, 0, kTruncateExisting, h, 0), 0);
  EXPECT_EQ(fcntl(h, F_GETFL) & O_ACCMODE, O_RDWR);
  EXPECT_EQ(CloseFile(h), 0);
  EXPECT_EQ(ReadText(dir / "old"), "");
  // Disposition 5 does not create.
  EXPECT_EQ(OpenFileHandle(Wide(dir / "none"), kAccessWrite, 0, kTruncateExisting, h, 0), 2);
}

TEST_F(FileHandleTest, PathIsTakenUpToItsFirstZeroUnit) {
  ASSERT_TRUE(WriteText(dir / "f", "x"));
  WideString path = Wide(dir / "f");
  path.push_back(u'\0');
  path += u"ignored";
  FileHandle h = kNoFileHandle;
  ASSERT_EQ(OpenFileHandle(path, kAccessRead, 0, kOpenExisting, h, 0), 0);
  EXPECT_EQ(CloseFile(h), 0);
}

TEST_F(FileHandleTest, ReadWriteSeekTruncate) {
  FileHandle h = kNoFileHandle;
  ASSERT_EQ(OpenFileHandle(Wide(dir / "f"), kAccessReadWrite, 0, kCreateKeepContent, h, 0), 0);
  std::size_t n = 99;
  ASSERT_EQ(WriteFile(h, "hello world", 11, &n), 0);
  EXPECT_EQ(n, 11u);
  EXPECT_EQ(SeekFile(h, 0, SeekOrigin::kCurrent), 11);
  EXPECT_EQ(SeekFile(h, 0, SeekOrigin::kEnd), 11);
  EXPECT_EQ(SeekFile(h, 6, SeekOrigin::kBegin), 6);
  char buffer[32] = {};
  ASSERT_EQ(ReadFully(h, buffer, sizeof buffer, &n), 0);  // early end is fine
  EXPECT_EQ(n, 5u);
  EXPECT_EQ(std::string(buffer, n), "world");
  ASSERT_EQ(ReadFully(h, buffer, sizeof buffer, &n), 0);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(SeekFile(h, -6, SeekOrigin::kCurrent), 5);
  EXPECT_EQ(TruncateHere(h), 0);
  EXPECT_EQ(SeekFile(h, 0, SeekOrigin::kEnd), 5);
  EXPECT_EQ(SeekFile(h, -10, SeekOrigin::kBegin), -1);
  EXPECT_EQ(LastError(), 87);
  EXPECT_EQ(FlushFile(h), 0);
  EXPECT_EQ(CloseFile(h), 0);
  EXPECT_EQ(ReadText(dir / "f"), "hello");
}

TEST_F(FileHandleTest, ReadFullyCollectsAPipeInPieces) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  ASSERT_EQ(write(fds[1], "abc", 3), 3);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    usleep(20000);
    (void)!write(fds[1], "defg", 4);
    _exit(0);
  }
  close(fds[1]);
  char buffer[16] = {};
  std::size_t n = 0;
  ASSERT_EQ(ReadFully(fds[0], buffer, 7, &n), 0);
  EXPECT_EQ(std::string(buffer, n), "abcdefg");
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
}

TEST_F(FileHandleTest, InvalidHandleCodes) {
  char buffer[4] = {};
  std::size_t n = 5;
  EXPECT_EQ(SeekFile(kNoFileHandle, 0, SeekOrigin::kBegin), -1);
  EXPECT_EQ(LastError(), 6);
  EXPECT_EQ(WriteFile(kNoFileHandle, buffer, 4, &n), 6);
  EXPECT_EQ(LastError(), 6);
  EXPECT_EQ(n, 0u);
  FileTimes times;
  EXPECT_EQ(GetFileTimes(kNoFileHandle, times), 6);
  EXPECT_EQ(SetFileTimes(kNoFileHandle, UnixSecondsToTicks(5)), 6);
  EXPECT_EQ(TruncateHere(kNoFileHandle), 6);
  EXPECT_EQ(FlushFile(kNoFileHandle), 6);
  EXPECT_EQ(LastError(), 6);
  EXPECT_EQ(ReadFully(kNoFileHandle, buffer, 4, &n), 87);
  EXPECT_EQ(CloseFile(kNoFileHandle), 87);
  EXPECT_EQ(LastError(), 87);

  // A descriptor number that is not open: status queries give 6.
  const int closed = open("/dev/null", O_RDONLY);
  ASSERT_GE(closed, 0);
  close(closed);
  EXPECT_EQ(GetFileTimes(closed, times), 6);
  EXPECT_EQ(SeekFile(closed, 0, SeekOrigin::kBegin), -1);
  EXPECT_EQ(LastError(), 6);
}

TEST_F(FileHandleTest, MissingCountPlacesAndShortOrFailedTransfers) {
  char buffer[4] = {};
  FileHandle h = kNoFileHandle;
  ASSERT_EQ(OpenFileHandle(Wide(dir / "f"), kAccessWrite, 0, kCreateKeepContent, h, 0), 0);
  EXPECT_EQ(WriteFile(h, buffer, 4, nullptr), 87);
  EXPECT_EQ(ReadFully(h, buffer, 4, nullptr), 87);
  std::size_t n = 9;
  EXPECT_EQ(ReadFully(h, buffer, 4, &n), 87);  // write-only descriptor
  EXPECT_EQ(LastError(), 87);
  EXPECT_EQ(CloseFile(h), 0);

  ASSERT_EQ(OpenFileHandle(Wide(dir / "f"), kAccessRead, 0, kOpenExisting, h, 0), 0);
  EXPECT_EQ(WriteFile(h, "data", 4, &n), 87);  // read-only descriptor
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(TruncateHere(h), 87);
  EXPECT_EQ(CloseFile(h), 0);

  // A full device: the write fails with 87.
  ASSERT_EQ(OpenFileHandle(u"/dev/full", kAccessWrite, 0, kOpenExisting, h, 0), 0);
  EXPECT_EQ(WriteFile(h, "data", 4, &n), 87);
  EXPECT_EQ(LastError(), 87);
  EXPECT_EQ(CloseFile(h), 0);
}

TEST_F(FileHandleTest, TimesInWholeSeconds) {
  FileHandle h = kNoFileHandle;
  ASSERT_EQ(OpenFileHandle(Wide(dir / "f"), kAccessWrite, 0, kCreateKeepContent, h, 0), 0);
  // 2001-09-09 01:46:40.75 UTC: the fraction is dropped.
  const std::uint64_t ticks = UnixSecondsToTicks(1000000000) + 7500000;
  ASSERT_EQ(SetFileTimes(h, ticks), 0);
  struct stat st {};
  ASSERT_EQ(fstat(h, &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
  EXPECT_EQ(st.st_mtim.tv_nsec, 0);
  EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
  EXPECT_EQ(st.st_atim.tv_nsec, 0);
  FileTimes times;
  ASSERT_EQ(GetFileTimes(h, times), 0);
  EXPECT_EQ(times.modification, UnixSecondsToTicks(1000000000));
  EXPECT_EQ(times.access, UnixSecondsToTicks(1000000000));
  EXPECT_EQ(times.creation, UnixSecondsToTicks(st.st_ctim.tv_sec));
  EXPECT_EQ(CloseFile(h), 0);
}

}  // namespace
}  // namespace veskp8
