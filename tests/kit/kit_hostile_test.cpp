// Kits made to hurt the reader: files that are not kit files, a kit shortened
// while it is read, description and entry counts that would cost more memory
// than the tables may take, clashing destinations, and the stop flag.
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "kit_test_support.h"

namespace veskp8::testing {
namespace {

using KitHostileTest = KitTest;

// One 44-byte entry record with a 10-unit name, data size 0.
Bytes EntryRecord(const char16_t* name) {
  Bytes image;
  EXPECT_TRUE(EncodeKitTables(1, {}, {Entry(name, 0, 0, 0)}, image));
  return Bytes(image.begin() + 12, image.end());  // without format, D and N
}

// Kit bytes of: format 1, no descriptions, `count` copies of `record`.
Bytes RepeatedEntriesKit(const Bytes& record, std::uint32_t count) {
  Bytes kit;
  RawDeflater deflater([&kit](const unsigned char* p, std::size_t n) {
    kit.insert(kit.end(), p, p + n);
    return true;
  });
  const unsigned char head[12] = {1, 0, 0, 0, 0, 0, 0, 0, static_cast<unsigned char>(count),
                                  static_cast<unsigned char>(count >> 8),
                                  static_cast<unsigned char>(count >> 16),
                                  static_cast<unsigned char>(count >> 24)};
  EXPECT_TRUE(deflater.Write(head, sizeof head));
  Bytes block;
  for (int i = 0; i < 4096; ++i) block.insert(block.end(), record.begin(), record.end());
  for (std::uint32_t done = 0; done < count;) {
    const std::uint32_t n = count - done < 4096 ? count - done : 4096;
    EXPECT_TRUE(deflater.Write(block.data(), n * record.size()));
    done += n;
  }
  EXPECT_TRUE(deflater.Finish());
  return kit;
}

TEST_F(KitHostileTest, ThingsThatAreNotRegularFilesAreNeverOpened) {
  // A FIFO: opening it for reading would block (and would release a writer
  // waiting for a reader; the writer below must still be waiting after).
  const std::string fifo = dir_ + "/fifo.efd";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const pid_t writer = fork();
  if (writer == 0) {
    const int fd = open(fifo.c_str(), O_WRONLY);  // blocks until a reader opens
    _exit(fd >= 0 ? 3 : 4);
  }
  const std::string directory = dir_ + "/dir.efd";
  ASSERT_EQ(mkdir(directory.c_str(), 0700), 0);
  const std::string socketPath = dir_ + "/sock.efd";
  const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const std::string fifoLink = dir_ + "/link.efd";
  ASSERT_EQ(symlink(fifo.c_str(), fifoLink.c_str()), 0);

  alarm(30);  // a hang ends the test program instead of the whole run
  for (const std::string& path : {fifo, directory, socketPath, fifoLink, std::string("/dev/null"),
                                  std::string("/dev/tty")}) {
    KitArchive kit;
    EXPECT_EQ(OpenKit(kit, LocaleToWide(path.c_str())), kErrNotFound) << path;
    EXPECT_EQ(kit.imageHandle(), -1);
    FileHandle handle = 123456;
    EXPECT_EQ(OpenKitFile(LocaleToWide(path.c_str()), handle), kErrNotFound) << path;
    EXPECT_EQ(handle, kNoFileHandle);
  }
  alarm(0);
  close(sock);
  EXPECT_TRUE(Images().empty());
  int status = 0;
  EXPECT_EQ(waitpid(writer, &status, WNOHANG), 0) << "the FIFO was opened";
  kill(writer, SIGKILL);
  waitpid(writer, &status, 0);

  // A link to a regular kit is followed.
  const std::string kitPath = WriteKit(DeflateRaw(MakeImage(1, {}, {Entry(u"f", 0, 0, 1)}, "x")));
  const std::string kitLink = dir_ + "/kit-link.efd";
  ASSERT_EQ(symlink(kitPath.c_str(), kitLink.c_str()), 0);
  KitArchive kit;
  EXPECT_EQ(OpenKit(kit, LocaleToWide(kitLink.c_str())), kOk);
}

TEST_F(KitHostileTest, AKitShortenedWhileItIsReadIsDamaged) {
  // 32 MiB of stored (incompressible) data: about a thousand input windows.
  std::string noise(32 << 20, '\0');
  std::uint32_t x = 1;
  for (char& c : noise) c = static_cast<char>((x = x * 1664525u + 1013904223u) >> 24);
  const std::string kitPath = WriteKit(DeflateRaw(
      MakeImage(1, {}, {Entry(u"n", 0, 0, static_cast<std::uint32_t>(noise.size()))}, noise), 0));
  const int kitFd = open(kitPath.c_str(), O_RDONLY | O_CLOEXEC);
  const int imageFd = open((dir_ + "/image").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(kitFd, 0);
  ASSERT_GE(imageFd, 0);
  // As soon as the first output reaches the image, another party cuts the kit.
  std::thread cutter([&] {
    struct stat st {};
    while (fstat(imageFd, &st) == 0 && st.st_size == 0) std::this_thread::yield();
    EXPECT_EQ(truncate(kitPath.c_str(), 40000), 0);
  });
  const ResultCode rc = InflateKit(kitFd, imageFd);
  cutter.join();
  EXPECT_EQ(rc, kErrInvalidData);
  close(kitFd);
  close(imageFd);
}

TEST_F(KitHostileTest, StopFlagEndsInflatingWithCancelled) {
  std::atomic<bool> stop{true};
  const Bytes small = DeflateRaw(MakeImage(1, {}, {Entry(u"f", 0, 0, 1)}, "x"));
  KitArchive kit;
  EXPECT_EQ(OpenKit(kit, LocaleToWide(WriteKit(small).c_str()), &stop), kErrCancelled);
  EXPECT_EQ(kit.imageHandle(), -1);

  // Set from another thread once the image of a kit of 128 MiB of zeros has
  // grown past 1 MiB, so the flag is seen in the middle of inflating whatever
  // the machine's speed. The image is the one descriptor that is not there yet.
  const std::string big = WriteKit(
      DeflateRaw(MakeImage(1, {}, {Entry(u"z", 0, 0, 128u << 20)}, std::string(128u << 20, '\0'))),
      "big.efd");
  stop = false;
  const std::vector<std::string> before = FilesWithPrefix("/proc/self/fd", "");
  const std::size_t openFiles = before.size();
  std::thread stopper([&] {
    while (!stop) {
      for (const std::string& fd : FilesWithPrefix("/proc/self/fd", "")) {
        if (std::find(before.begin(), before.end(), fd) != before.end()) continue;
        struct stat st {};
        if (stat(("/proc/self/fd/" + fd).c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            st.st_size > (1 << 20)) {
          stop = true;
        }
      }
    }
  });
  EXPECT_EQ(OpenKit(kit, LocaleToWide(big.c_str()), &stop), kErrCancelled);
  stopper.join();
  EXPECT_EQ(kit.imageHandle(), -1);
  EXPECT_EQ(FilesWithPrefix("/proc/self/fd", "").size(), openFiles) << "image closed";
  stop = false;
  EXPECT_EQ(OpenKit(kit, LocaleToWide(big.c_str()), &stop), kOk) << "a flag never set";
}

TEST_F(KitHostileTest, DescriptionCountIsCapped) {
  std::vector<KitDescription> many(kMaxKitDescriptions, Description(u"xx", u"", u"", u""));
  KitArchive kit;
  EXPECT_EQ(OpenBytes(kit, DeflateRaw(MakeImage(1, many, {}, ""))), kOk);
  EXPECT_EQ(kit.descriptions().size(), kMaxKitDescriptions);
  many.push_back(many.back());
  EXPECT_EQ(OpenBytes(kit, DeflateRaw(MakeImage(1, many, {}, ""))), kErrInvalidData);
  // The bomb of the report: empty 20-byte records by the million, in a small kit.
  Bytes bomb = {1, 0, 0, 0, 0x80, 0x96, 0x98, 0};  // 10 000 000 descriptions
  const Bytes record = {20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 100000; ++i) bomb.insert(bomb.end(), record.begin(), record.end());
  EXPECT_EQ(OpenBytes(kit, DeflateRaw(bomb)), kErrInvalidData);
}

TEST_F(KitHostileTest, EntryTablesOverTheBudgetAreRefused) {
  // 141 bytes of tables per 44-byte record (kKitEntryCost + a heap name of
  // 10 units): two million of them would take about 269 MiB.
  const std::uint32_t count = 2000000;
  const Bytes record = EntryRecord(u"abcdefghij");
  ASSERT_GT(count * (kKitEntryCost + KitStringCost(10)), kKitTableBudget);
  const Bytes kitBytes = RepeatedEntriesKit(record, count);
  EXPECT_LT(kitBytes.size(), 1u << 20) << "a small kit";
  KitArchive kit;
  EXPECT_EQ(OpenBytes(kit, kitBytes), kErrInvalidData);
}

TEST_F(KitHostileTest, ClashingDestinationsAreRefused) {
  KitArchive kit;
  const auto open = [&](std::vector<KitEntry> entries) {
    return OpenBytes(kit, DeflateRaw(MakeImage(1, {}, entries, "x")));
  };
  EXPECT_EQ(open({Entry(u"a\\b.txt", 0, 0, 1), Entry(u"c", 0, 0, 1), Entry(u"a\\b.txt", 0, 0, 1)}),
            kErrInvalidData);
  EXPECT_EQ(open({Entry(u"a\\b.txt", 0, 0, 1), Entry(u"a/b.txt", 0, 0, 1)}), kErrInvalidData);
  // Names that differ only in case, or by a character, are distinct.
  EXPECT_EQ(open({Entry(u"a\\B.txt", 0, 0, 1), Entry(u"a\\b.txt", 0, 0, 1),
                  Entry(u"a\\b.txt2", 0, 0, 1)}),
            kOk);
  // "é" and the two byte escapes of its UTF-8 form are one file name in a
  // UTF-8 locale (the test program runs in one, see below).
  NarrowString bytes;
  ASSERT_TRUE(EntryDestinationBytes(WideString(u"\u00e9"), bytes));
  if (bytes.view() != "\xc3\xa9") GTEST_SKIP() << "not a UTF-8 locale";
  const char16_t escaped[] = {0xDCC3, 0xDCA9, 0};
  EXPECT_EQ(open({Entry(u"d\\\u00e9", 0, 0, 1), Entry(u"x", 0, 0, 1),
                  Entry((std::u16string(u"d/") + escaped).c_str(), 0, 0, 1)}),
            kErrInvalidData);
  const auto clashes = FindClashingEntries(kit.entries());
  EXPECT_TRUE(clashes.empty());
  std::vector<KitEntry> list = {Entry(u"p", 0, 0, 0), Entry(u"d\\\u00e9", 0, 0, 0),
                                Entry(u"q", 0, 0, 0), Entry(u"p", 0, 0, 0),
                                Entry((std::u16string(u"d/") + escaped).c_str(), 0, 0, 0)};
  const std::vector<std::pair<std::size_t, std::size_t>> expected = {{0, 3}, {1, 4}};
  EXPECT_EQ(FindClashingEntries(list), expected);
  // Many equal names: each clashes with the first, found in n log n time.
  list.assign(50000, Entry(u"same\\name.txt", 0, 0, 0));
  const auto many = FindClashingEntries(list);
  ASSERT_EQ(many.size(), 49999u);
  EXPECT_EQ(many.front(), std::make_pair(std::size_t{0}, std::size_t{1}));
  EXPECT_EQ(many.back(), std::make_pair(std::size_t{0}, std::size_t{49999}));
}

// The conversions take the locale from the environment once, at first use:
// run these tests in a UTF-8 locale.
const bool kUtf8Locale = [] {
  setenv("LC_ALL", "C.UTF-8", 1);
  return true;
}();

}  // namespace
}  // namespace veskp8::testing
