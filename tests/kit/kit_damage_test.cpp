// Damaged, foreign and hostile kits: every one is refused (or, where raw
// deflate cannot tell, opens consistently), nothing is left behind, and no
// length in the kit is trusted.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <zlib.h>

#include <random>

#include "kit/kit_inflate.h"
#include "kit_test_support.h"

namespace veskp8::testing {
namespace {

constexpr std::uint64_t kTime = 133'000'000'000'000'000ULL;

// Little-endian image builder for hand-made damage.
struct ImageBuilder {
  Bytes bytes;
  ImageBuilder& U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(v >> (8 * i)));
    return *this;
  }
  ImageBuilder& U64(std::uint64_t v) {
    for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<unsigned char>(v >> (8 * i)));
    return *this;
  }
  ImageBuilder& Units(const std::u16string& s) {
    for (char16_t c : s)
      bytes.push_back(c & 0xFF), bytes.push_back(static_cast<unsigned char>(c >> 8));
    return *this;
  }
  ImageBuilder& Counted(const std::u16string& s) {
    return U32(static_cast<std::uint32_t>(s.size())).Units(s);
  }
  ImageBuilder& Raw(const std::string& s) {
    bytes.insert(bytes.end(), s.begin(), s.end());
    return *this;
  }
};

Bytes SmallKitImage() {
  return MakeImage(1,
                   {Description(u"en", u"Trade", u"Vesk", u"docs\\a.html"),
                    Description(u"ru", u"Торговля", u"Веск", u"")},
                   {Entry(u"a\\one.cf", kTime, 0, 5), Entry(u"b.txt", kTime + 1, 5, 7),
                    Entry(u"empty", kTime, 12, 0)},
                   "hellosecond!");
}

// `input` compressed in one deflate call: window bits 31 give gzip framing,
// -15 a raw stream; Z_FINISH ends the stream, Z_FULL_FLUSH leaves it open.
// Empty when zlib refuses.
Bytes Deflate(const Bytes& input, int windowBits, int flush) {
  Bytes out(4096);
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  z.next_in = const_cast<unsigned char*>(input.data());
  z.avail_in = static_cast<uInt>(input.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int status = deflate(&z, flush);
  out.resize(z.total_out);
  deflateEnd(&z);
  const bool done = flush == Z_FINISH ? status == Z_STREAM_END : status == Z_OK;
  return done ? out : Bytes{};
}

using KitDamageTest = KitTest;

TEST_F(KitDamageTest, ForeignFilesDoNotInflate) {
  // gzip framing: the first byte 0x1f reads as a final block of the reserved type.
  const Bytes gzipped = Deflate(SmallKitImage(), 31, Z_FINISH);
  ASSERT_FALSE(gzipped.empty());
  KitArchive kit;
  EXPECT_EQ(OpenBytes(kit, gzipped), kErrInvalidData);
  // A zip archive holding one stored file.
  Bytes zip = {'P',  'K',  3,    4,    10,   0,   0,   0,   0,   0,   0x21, 0x5a, 0x87,
               0x59, 0x3a, 0xa4, 0x4b, 0xed, 5,   0,   0,   0,   5,   0,    0,    0,
               5,    0,    0,    0,    'a',  '.', 't', 'x', 't', 'h', 'e',  'l',  'l',
               'o',  'P',  'K',  5,    6,    0,   0,   0,   0,   0,   0,    0,    0,
               0,    0,    0,    0,    0,    0,   0,   0,   0,   0,   0,    0};
  EXPECT_EQ(OpenBytes(kit, zip), kErrInvalidData);
  // A zlib-framed stream (deflate with its two-byte header) is not raw either.
  Bytes zlibFramed(256);
  uLongf length = zlibFramed.size();
  const Bytes image = SmallKitImage();
  ASSERT_EQ(compress(zlibFramed.data(), &length, image.data(), image.size()), Z_OK);
  zlibFramed.resize(length);
  EXPECT_NE(OpenBytes(kit, zlibFramed), kOk);
}

TEST_F(KitDamageTest, EmptyKitInflatesToAnEmptyImageAndIsRefused) {
  const std::string kitPath = WriteKit({});
  const std::string imagePath = dir_ + "/image";
  WriteWholeFile(imagePath, "old", 3);
  EXPECT_EQ(InflateFiles(kitPath, imagePath), kOk);
  EXPECT_EQ(ReadWholeFile(imagePath), "");
  KitArchive kit;
  EXPECT_EQ(OpenBytes(kit, {}), kErrInvalidData) << "the format word cannot be read";
}

TEST_F(KitDamageTest, StreamWithoutItsFinalBlockIsRefused) {
  // Everything decodes, but the stream never ends.
  const Bytes flushed = Deflate(SmallKitImage(), -15, Z_FULL_FLUSH);
  ASSERT_FALSE(flushed.empty());
  KitArchive kit;
  EXPECT_EQ(OpenBytes(kit, flushed), kErrInvalidData);
}

TEST_F(KitDamageTest, RandomBytesFailOrOpenConsistently) {
  std::mt19937 random(12345);
  for (int round = 0; round < 300; ++round) {
    Bytes bytes(1 + random() % 600);
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(random());
    KitArchive kit;
    if (OpenBytes(kit, bytes) == kOk) ExpectKitConsistent(kit);
  }
  EXPECT_TRUE(Images().empty());
}

TEST_F(KitDamageTest, EveryTruncationFailsOrKeepsTheWholeContent) {
  const Bytes image = SmallKitImage();
  const Bytes kitBytes = DeflateRaw(image);
  struct Content {
    WideString name;
    std::uint64_t time;
    std::string data;
  };
  std::vector<Content> original;
  {
    KitArchive kit;
    ASSERT_EQ(OpenBytes(kit, kitBytes), kOk);
    for (const KitEntry& e : kit.entries()) {
      original.push_back({e.name, e.modificationTime, ImageBytes(kit, e.dataOffset, e.dataSize)});
    }
  }
  ASSERT_EQ(original.size(), 3u);
  EXPECT_EQ(original[1].data, "second!");
  int opened = 0;
  for (std::size_t cut = 0; cut < kitBytes.size(); ++cut) {
    KitArchive kit;
    const ResultCode rc = OpenBytes(kit, Bytes(kitBytes.begin(), kitBytes.begin() + cut));
    if (rc != kOk) continue;
    // Only a cut after the stream's last meaningful bit can still open.
    ++opened;
    ASSERT_EQ(kit.imageSize(), image.size()) << cut;
    ASSERT_EQ(kit.entries().size(), original.size()) << cut;
    for (std::size_t i = 0; i < original.size(); ++i) {
      const KitEntry& e = kit.entries()[i];
      EXPECT_EQ(e.name, original[i].name);
      EXPECT_EQ(e.modificationTime, original[i].time);
      EXPECT_EQ(ImageBytes(kit, e.dataOffset, e.dataSize), original[i].data);
    }
    ASSERT_EQ(kit.descriptions().size(), 2u);
    EXPECT_EQ(kit.descriptions()[1].product, u"Торговля");
  }
  EXPECT_LE(opened, 1) << "at most the cut of trailing padding bits";
  EXPECT_TRUE(Images().empty());
}

TEST_F(KitDamageTest, EverySingleBitFlipFailsOrOpensConsistently) {
  const Bytes kitBytes = DeflateRaw(SmallKitImage());
  int opened = 0;
  for (std::size_t bit = 0; bit < kitBytes.size() * 8; ++bit) {
    Bytes flipped = kitBytes;
    flipped[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
    KitArchive kit;
    if (OpenBytes(kit, flipped) == kOk) {
      ++opened;
      ExpectKitConsistent(kit);
    }
  }
  EXPECT_TRUE(Images().empty());
  // Flips in literal bytes decode to other bytes: some kits still open.
  RecordProperty("opened", opened);
}

TEST_F(KitDamageTest, LengthsThatLeaveTheirRecordOrTheImageAreRefused) {
  struct Case {
    const char* what;
    Bytes image;
  };
  std::vector<Case> cases;
  cases.push_back({"only a format word", ImageBuilder().U32(1).bytes});
  cases.push_back({"short format word", ImageBuilder().Raw("\1\0").bytes});
  cases.push_back({"description count without records", ImageBuilder().U32(1).U32(2).bytes});
  cases.push_back({"description length 0", ImageBuilder().U32(1).U32(1).U32(0).U32(0).bytes});
  cases.push_back({"description length 3", ImageBuilder().U32(1).U32(1).U32(3).U32(0).bytes});
  cases.push_back({"description length past the image",
                   ImageBuilder().U32(1).U32(1).U32(1000).Counted(u"en").bytes});
  cases.push_back({"string past its record",
                   ImageBuilder()
                       .U32(1)
                       .U32(1)
                       .U32(4 + 4 + 4)  // room for language "" and 4 more bytes
                       .Counted(u"")
                       .U32(50)  // product claims 50 units
                       .Units(u"product of fifty units, more or less, continuing..")
                       .Counted(u"")
                       .Counted(u"")
                       .U32(0)
                       .bytes});
  cases.push_back({"record too short for its four strings", ImageBuilder()
                                                                .U32(1)
                                                                .U32(1)
                                                                .U32(4 + 8)
                                                                .Counted(u"")
                                                                .Counted(u"")
                                                                .Counted(u"")
                                                                .Counted(u"")
                                                                .U32(0)
                                                                .bytes});
  cases.push_back({"single-language string past the image",
                   ImageBuilder().U32(0).Counted(u"P").U32(1000).Units(u"V").bytes});
  cases.push_back({"single-language without its third string",
                   ImageBuilder().U32(0).Counted(u"P").Counted(u"V").bytes});
  cases.push_back({"entry count without records", ImageBuilder().U32(1).U32(0).U32(1).bytes});
  cases.push_back({"entry length below 24", ImageBuilder()
                                                .U32(1)
                                                .U32(0)
                                                .U32(1)
                                                .U32(23)
                                                .U32(0)
                                                .U64(0)
                                                .U32(0)
                                                .U32(0)
                                                .Raw("padding")
                                                .bytes});
  cases.push_back(
      {"entry length past the image",
       ImageBuilder().U32(1).U32(0).U32(1).U32(200).Counted(u"f").U64(0).U32(0).U32(0).bytes});
  cases.push_back({"name past its record", ImageBuilder()
                                               .U32(1)
                                               .U32(0)
                                               .U32(1)
                                               .U32(24 + 2)
                                               .U32(5)
                                               .Units(u"abcde")
                                               .U64(0)
                                               .U32(0)
                                               .U32(0)
                                               .bytes});
  cases.push_back({"truncated entry fields",
                   ImageBuilder().U32(1).U32(0).U32(1).U32(26).Counted(u"f").U64(0).U32(0).bytes});
  cases.push_back({"data past the image", ImageBuilder()
                                              .U32(1)
                                              .U32(0)
                                              .U32(1)
                                              .U32(26)
                                              .Counted(u"f")
                                              .U64(0)
                                              .U32(0)
                                              .U32(5)
                                              .Raw("four")
                                              .bytes});
  cases.push_back({"data offset past the image", ImageBuilder()
                                                     .U32(1)
                                                     .U32(0)
                                                     .U32(1)
                                                     .U32(26)
                                                     .Counted(u"f")
                                                     .U64(0)
                                                     .U32(5)
                                                     .U32(0)
                                                     .Raw("four")
                                                     .bytes});
  cases.push_back({"offset and size wrapping 32 bits", ImageBuilder()
                                                           .U32(1)
                                                           .U32(0)
                                                           .U32(1)
                                                           .U32(26)
                                                           .Counted(u"f")
                                                           .U64(0)
                                                           .U32(0xFFFFFFF0u)
                                                           .U32(0x20)
                                                           .Raw("four")
                                                           .bytes});
  cases.push_back({"huge counts", ImageBuilder().U32(1).U32(0xFFFFFFFFu).U32(4).bytes});
  cases.push_back({"huge entry count", ImageBuilder()
                                           .U32(1)
                                           .U32(0)
                                           .U32(0xFFFFFFFFu)
                                           .U32(26)
                                           .Counted(u"f")
                                           .U64(0)
                                           .U32(0)
                                           .U32(0)
                                           .bytes});
  for (const Case& c : cases) {
    KitArchive kit;
    EXPECT_EQ(OpenBytes(kit, DeflateRaw(c.image)), kErrInvalidData) << c.what;
  }
  // The same images, read straight from an image file.
  for (const Case& c : cases) {
    const std::string path = dir_ + "/image";
    WriteWholeFile(path, c.image.data(), c.image.size());
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    KitArchive kit;
    EXPECT_EQ(ReadKitTables(kit, fd), kErrInvalidData) << c.what;
    EXPECT_TRUE(kit.entries().empty()) << c.what;
    close(fd);
  }
}

TEST_F(KitDamageTest, HostileEntryNamesAreRefused) {
  const std::u16string hostile[] = {
      u"",        std::u16string(u"a\0b", 3),
      u"\\a",     u"/a",
      u"a\\",     u"a/",
      u"a\\\\b",  u"a//b",
      u".",       u"..",
      u"a\\.\\b", u"a\\..\\b",
      u"..\\etc", u"../etc",
      u"a/../b",  u"./a",
      u"a\\.",    u"a\\..",
      u"a/\\b",   u"\\\\server\\x",
  };
  for (const std::u16string& name : hostile) {
    const WideString wide(name);
    EXPECT_FALSE(IsSafeEntryName(wide)) << WideToLocale(wide).c_str();
    KitEntry e;
    e.name = wide;
    e.dataSize = 1;
    KitArchive kit;
    EXPECT_EQ(OpenBytes(kit, DeflateRaw(MakeImage(1, {}, {Entry(u"fine", 0, 0, 1), e}, "x"))),
              kErrInvalidData)
        << WideToLocale(wide).c_str();
  }
  const char16_t* fine[] = {u"a",        u"a b\\c.txt", u"...",      u"a..b", u".hidden",
                            u"a\\.b\\c", u"x:y",        u"日本\\語", u"a/b"};
  for (const char16_t* name : fine) {
    EXPECT_TRUE(IsSafeEntryName(WideString(name)));
    KitArchive kit;
    EXPECT_EQ(OpenBytes(kit, DeflateRaw(MakeImage(1, {}, {Entry(name, 0, 0, 1)}, "x"))), kOk);
  }
}

TEST_F(KitDamageTest, KitOrImageOfFourGibibytesIsRefused) {
  // Sparse files: nothing is read or written before the size is checked.
  const std::string big = dir_ + "/big";
  const int fd = open(big.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  if (ftruncate(fd, (off_t{1} << 32)) != 0) {
    close(fd);
    GTEST_SKIP() << "the file system cannot hold a sparse 4 GiB file";
  }
  KitArchive kit;
  EXPECT_EQ(ReadKitTables(kit, fd), kErrInvalidData);
  close(fd);
  EXPECT_EQ(OpenKit(kit, LocaleToWide(big.c_str())), kErrInvalidData);
  EXPECT_TRUE(Images().empty());
}

// Runs `body` in a child process and answers its exit code (or -1 on a signal).
template <typename Body>
int InChild(Body body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(KitDamageTest, AFullFileSystemIsAnErrorNotAShortImage) {
  // A file size limit makes the image writes fail the way a full file system
  // does (EFBIG instead of ENOSPC).
  std::string noise(400 * 1024, '\0');
  std::mt19937 random(3);
  for (char& c : noise) c = static_cast<char>(random());
  const std::string kitPath = WriteKit(DeflateRaw(
      MakeImage(1, {}, {Entry(u"n", 0, 0, static_cast<std::uint32_t>(noise.size()))}, noise)));
  const std::string imagesDir = images_;
  const int code = InChild([&] {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{100 * 1024, 100 * 1024};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 100;
    KitArchive kit;
    const ResultCode rc = OpenKit(kit, LocaleToWide(kitPath.c_str()));
    if (rc == kOk) return 101;
    return FilesWithPrefix(imagesDir, "edf").empty() ? 0 : 102;
  });
  EXPECT_EQ(code, 0) << "100: no limit; 101: opened; 102: image left";
}

}  // namespace
}  // namespace veskp8::testing
