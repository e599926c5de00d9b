// Opening kits made by the kit writer: layouts, tables, data ranges, the
// life of the image file, and the description lookups.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <random>

#include "install/fs/file_handle.h"
#include "kit/kit_inflate.h"
#include "kit_test_support.h"

namespace veskp8::testing {
namespace {

constexpr std::uint64_t kTime = 133'000'000'000'000'000ULL;

std::vector<KitDescription> ThreeLanguages() {
  return {Description(u"en", u"Trade", u"Vesk", u"docs\\en.html"),
          Description(u"ru", u"Торговля", u"Веск", u"docs\\ru.html"),
          Description(u"de", u"Handel", u"", u"")};
}

using KitReaderTest = KitTest;

TEST_F(KitReaderTest, MultiLanguageRoundTrip) {
  const std::string data = "first file|second, longer file|";
  const std::vector<KitEntry> entries = {Entry(u"a\\one.cf", kTime, 0, 11),
                                         Entry(u"a\\b\\two.txt", kTime + 15'000'000, 11, 20),
                                         Entry(u"empty", 1, 31, 0)};
  const Bytes image = MakeImage(kMultiLanguageFormat, ThreeLanguages(), entries, data);
  KitArchive kit;
  ASSERT_EQ(OpenBytes(kit, DeflateRaw(image)), kOk);
  ASSERT_EQ(kit.descriptions().size(), 3u);
  EXPECT_EQ(kit.descriptions()[1].language, u"ru");
  EXPECT_EQ(kit.descriptions()[1].product, u"Торговля");
  EXPECT_EQ(kit.descriptions()[1].vendor, u"Веск");
  EXPECT_EQ(kit.descriptions()[1].document, u"docs\\ru.html");
  EXPECT_EQ(kit.descriptions()[2].vendor, u"");
  ASSERT_EQ(kit.entries().size(), 3u);
  const std::uint32_t dataStart = static_cast<std::uint32_t>(image.size() - data.size());
  EXPECT_EQ(kit.imageSize(), image.size());
  EXPECT_EQ(kit.entries()[1].name, u"a\\b\\two.txt");
  EXPECT_EQ(kit.entries()[1].modificationTime, kTime + 15'000'000);
  EXPECT_EQ(kit.entries()[1].dataOffset, dataStart + 11);
  EXPECT_EQ(ImageBytes(kit, kit.entries()[0].dataOffset, kit.entries()[0].dataSize), "first file|");
  EXPECT_EQ(ImageBytes(kit, kit.entries()[1].dataOffset, kit.entries()[1].dataSize),
            "second, longer file|");
  EXPECT_EQ(kit.entries()[2].dataSize, 0u);
  EXPECT_NE(kit.imageHandle(), -1);
  EXPECT_EQ(kit.copyBufferSize(), 1048576u);
  EXPECT_NE(kit.copyBuffer(), nullptr);
  ExpectKitConsistent(kit);
}

TEST_F(KitReaderTest, SingleLanguageReadsAsOneEnglishRecord) {
  const Bytes image = MakeImage(kSingleLanguageFormat, {Description(u"en", u"P", u"V", u"d.html")},
                                {Entry(u"x.cf", kTime, 0, 3)}, "abc");
  // Layout: format word 0, then three counted strings without count or length.
  ASSERT_EQ(image[0] | image[1] | image[2] | image[3], 0);
  EXPECT_EQ(image[4], 1);  // unit count of "P"
  KitArchive kit;
  ASSERT_EQ(OpenBytes(kit, DeflateRaw(image)), kOk);
  ASSERT_EQ(kit.descriptions().size(), 1u);
  EXPECT_EQ(kit.descriptions()[0].language, u"en");
  EXPECT_EQ(kit.descriptions()[0].product, u"P");
  EXPECT_EQ(kit.descriptions()[0].vendor, u"V");
  EXPECT_EQ(kit.descriptions()[0].document, u"d.html");
  ASSERT_EQ(kit.entries().size(), 1u);
  EXPECT_EQ(ImageBytes(kit, kit.entries()[0].dataOffset, 3), "abc");
}

TEST_F(KitReaderTest, AnyNonZeroFormatWordSelectsMultiLanguage) {
  for (std::uint32_t format : {1u, 2u, 0xFFFFFFFFu}) {
    const Bytes image = MakeImage(format, ThreeLanguages(), {Entry(u"f", kTime, 0, 1)}, "z");
    KitArchive kit;
    ASSERT_EQ(OpenBytes(kit, DeflateRaw(image)), kOk) << format;
    EXPECT_EQ(kit.descriptions().size(), 3u) << format;
    EXPECT_EQ(kit.descriptions()[2].language, u"de") << format;
  }
}

TEST_F(KitReaderTest, EmptyTablesPutTheDataAreaAtByte12) {
  KitArchive kit;
  ASSERT_EQ(OpenBytes(kit, DeflateRaw(MakeImage(1, {}, {}, ""))), kOk);
  EXPECT_TRUE(kit.descriptions().empty());
  EXPECT_TRUE(kit.entries().empty());
  EXPECT_EQ(kit.imageSize(), 12u);
  WideString product = u"x", vendor = u"y";
  LookupProductAndVendor(kit.descriptions(), WideString(u"en"), product, vendor);
  EXPECT_EQ(product, u"");
  EXPECT_EQ(vendor, u"");
  EXPECT_EQ(LookupDescriptionDocument(kit.descriptions(), WideString(u"en")), u"");

  // With no descriptions, one entry: the data area follows its 24 + 2 bytes.
  KitArchive one;
  ASSERT_EQ(OpenBytes(one, DeflateRaw(MakeImage(1, {}, {Entry(u"f", 0, 0, 2)}, "hi"))), kOk);
  EXPECT_EQ(one.entries()[0].dataOffset, 12u + 26u);
  EXPECT_EQ(ImageBytes(one, one.entries()[0].dataOffset, 2), "hi");
}

TEST_F(KitReaderTest, EntriesMaySharePartsOfTheDataArea) {
  const Bytes image = MakeImage(
      1, {}, {Entry(u"a", kTime, 0, 6), Entry(u"b", kTime, 0, 6), Entry(u"c", kTime, 2, 2)},
      "shared");
  KitArchive kit;
  ASSERT_EQ(OpenBytes(kit, DeflateRaw(image)), kOk);
  ASSERT_EQ(kit.entries().size(), 3u);
  EXPECT_EQ(kit.entries()[0].dataOffset, kit.entries()[1].dataOffset);
  EXPECT_EQ(ImageBytes(kit, kit.entries()[1].dataOffset, 6), "shared");
  EXPECT_EQ(ImageBytes(kit, kit.entries()[2].dataOffset, 2), "ar");
}

TEST_F(KitReaderTest, RecordsLongerThanTheirFieldsAreSkippedOver) {
  // A writer elsewhere may pad records; the fields are taken from the start.
  Bytes image = {1, 0, 0, 0, 1, 0, 0, 0};
  auto u32 = [&image](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) image.push_back(static_cast<unsigned char>(v >> (8 * i)));
  };
  auto counted = [&](const std::u16string& s) {
    u32(static_cast<std::uint32_t>(s.size()));
    for (char16_t c : s) image.push_back(c & 0xFF), image.push_back(c >> 8);
  };
  u32(4 + 4 * 4 + 2 * 2 + 7);  // description record with 7 padding bytes
  counted(u"en"), counted(u""), counted(u""), counted(u"");
  image.insert(image.end(), 7, 0xEE);
  u32(1);
  u32(24 + 2 + 5);  // entry record with 5 padding bytes
  counted(u"f");
  for (int i = 0; i < 8; ++i) image.push_back(0);
  u32(1), u32(3);
  image.insert(image.end(), 5, 0xEE);
  for (char c : std::string("xabc")) image.push_back(static_cast<unsigned char>(c));
  KitArchive kit;
  ASSERT_EQ(OpenBytes(kit, DeflateRaw(image)), kOk);
  ASSERT_EQ(kit.descriptions().size(), 1u);
  EXPECT_EQ(kit.descriptions()[0].language, u"en");
  ASSERT_EQ(kit.entries().size(), 1u);
  EXPECT_EQ(ImageBytes(kit, kit.entries()[0].dataOffset, 3), "abc");
}

TEST_F(KitReaderTest, LargeEntriesSpanManyWindows) {
  // Incompressible data crosses many 32 KiB windows; a long run of zeros makes
  // one window expand to megabytes of output.
  std::mt19937 random(7);
  std::string noise(300 * 1024, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  const std::string zeros(8 << 20, '\0');
  const Bytes image =
      MakeImage(1, ThreeLanguages(),
                {Entry(u"noise.bin", kTime, 0, static_cast<std::uint32_t>(noise.size())),
                 Entry(u"zeros.bin", kTime, static_cast<std::uint32_t>(noise.size()),
                       static_cast<std::uint32_t>(zeros.size()))},
                noise + zeros);
  KitArchive kit;
  ASSERT_EQ(OpenBytes(kit, DeflateRaw(image)), kOk);
  ASSERT_EQ(kit.entries().size(), 2u);
  EXPECT_TRUE(ImageBytes(kit, kit.entries()[0].dataOffset, kit.entries()[0].dataSize) == noise);
  EXPECT_TRUE(ImageBytes(kit, kit.entries()[1].dataOffset, kit.entries()[1].dataSize) == zeros);
}

TEST_F(KitReaderTest, ManyEntriesAndBytesAfterTheStreamEnd) {
  std::vector<KitEntry> entries;
  std::string data;
  for (int i = 0; i < 3000; ++i) {
    const std::string name = "dir" + std::to_string(i % 17) + "\\file" + std::to_string(i);
    const std::string content = "content of " + name;
    KitEntry e;
    e.name = LocaleToWide(name.c_str());
    e.modificationTime = kTime + static_cast<std::uint64_t>(i);
    e.dataOffset = static_cast<std::uint32_t>(data.size());
    e.dataSize = static_cast<std::uint32_t>(content.size());
    data += content;
    entries.push_back(e);
  }
  Bytes kitBytes = DeflateRaw(MakeImage(1, ThreeLanguages(), entries, data));
  kitBytes.insert(kitBytes.end(), {'t', 'r', 'a', 'i', 'l'});  // ignored after the end
  KitArchive kit;
  ASSERT_EQ(OpenBytes(kit, kitBytes), kOk);
  ASSERT_EQ(kit.entries().size(), 3000u);
  EXPECT_EQ(kit.entries()[2999].name, u"dir7\\file2999");
  EXPECT_EQ(ImageBytes(kit, kit.entries()[2999].dataOffset, kit.entries()[2999].dataSize),
            "content of dir7\\file2999");
}

TEST_F(KitReaderTest, ImageHasNoNameAndLivesExactlyAsLongAsTheKit) {
  const Bytes good = DeflateRaw(MakeImage(1, ThreeLanguages(), {Entry(u"f", 0, 0, 1)}, "x"));
  struct stat st;
  std::string fdLink;
  {
    KitArchive kit;
    ASSERT_EQ(OpenBytes(kit, good), kOk);
    EXPECT_TRUE(Images().empty()) << "an open image has no name in the temporary directory";
    ASSERT_EQ(fstat(kit.imageHandle(), &st), 0);
    EXPECT_EQ(st.st_nlink, 0u);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_FALSE(kit.imagePath().empty()) << "kept as a record";
    // Everything in the temporary directory removed: the kit still reads.
    RemoveTreeForTest(images_);
    EXPECT_EQ(ImageBytes(kit, kit.entries()[0].dataOffset, 1), "x");
    fdLink = "/proc/self/fd/" + std::to_string(kit.imageHandle());
    ASSERT_EQ(mkdir(images_.c_str(), 0700), 0);
  }
  EXPECT_NE(lstat(fdLink.c_str(), &st), 0) << "the destructor closes the image";

  {
    KitArchive kit;
    EXPECT_EQ(OpenBytes(kit, Bytes{0x1f, 0x8b, 8, 0}), kErrInvalidData);
    EXPECT_TRUE(kit.imagePath().empty());
  }

  // Opening the same object again releases the first image.
  KitArchive kit;
  ASSERT_EQ(OpenBytes(kit, good), kOk);
  const std::size_t openFiles = FilesWithPrefix("/proc/self/fd", "").size();
  ASSERT_EQ(OpenBytes(kit, good), kOk);
  EXPECT_EQ(FilesWithPrefix("/proc/self/fd", "").size(), openFiles);
  CloseKit(kit);
  EXPECT_EQ(kit.imageHandle(), -1);
  CloseKit(kit);  // closing twice is harmless
}

TEST_F(KitReaderTest, KilledHolderOfAnOpenKitLeavesNothing) {
  const std::string kitPath = WriteKit(DeflateRaw(MakeImage(1, {}, {Entry(u"f", 0, 0, 1)}, "x")));
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    KitArchive kit;
    const char answer = OpenKit(kit, LocaleToWide(kitPath.c_str())) == kOk ? 'y' : 'n';
    (void)!write(ready[1], &answer, 1);
    for (;;) pause();
  }
  close(ready[1]);
  char answer = 0;
  ASSERT_EQ(read(ready[0], &answer, 1), 1);
  close(ready[0]);
  EXPECT_EQ(answer, 'y');
  EXPECT_TRUE(Images().empty());
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_TRUE(FilesWithPrefix(images_, "").size() == 2u) << "only . and ..";
}

TEST_F(KitReaderTest, MissingKitAndUnusableTemporaryDirectory) {
  KitArchive kit;
  EXPECT_EQ(OpenKit(kit, LocaleToWide((dir_ + "/no-such.efd").c_str())), kErrNotFound);
  EXPECT_TRUE(Images().empty());
  // A temporary directory where no file can be made (a non-directory TMPDIR
  // falls back to /tmp, so use a directory without write permission: root
  // ignores permissions, so this part is checked only for other users).
  if (geteuid() != 0) {
    chmod(images_.c_str(), 0500);
    const std::string kit2 = WriteKit(DeflateRaw(MakeImage(1, {}, {}, "")));
    EXPECT_EQ(OpenKit(kit, LocaleToWide(kit2.c_str())), kErrTempFile);
    chmod(images_.c_str(), 0700);
  }
}

TEST_F(KitReaderTest, InflateCutsAnExistingImageToTheInflatedLength) {
  const Bytes image = MakeImage(1, {}, {}, "");
  const std::string kitPath = WriteKit(DeflateRaw(image));
  const std::string imagePath = dir_ + "/image";
  const std::string old(5000, 'o');
  WriteWholeFile(imagePath, old.data(), old.size());
  ASSERT_EQ(InflateFiles(kitPath, imagePath), kOk);
  EXPECT_EQ(ReadWholeFile(imagePath), std::string(image.begin(), image.end()));
}

TEST(KitLookupTest, ProductAndVendorFallBackToEnglishThenTheFirstRecord) {
  const std::vector<KitDescription> d = {Description(u"EN", u"Trade", u"Vesk", u"en.html"),
                                         Description(u"ru", u"Торговля", u"Веск", u""),
                                         Description(u"ru", u"second", u"second", u"x")};
  WideString product, vendor;
  LookupProductAndVendor(d, WideString(u"en"), product, vendor);
  EXPECT_EQ(product, u"Trade");
  EXPECT_EQ(vendor, u"Vesk");
  LookupProductAndVendor(d, WideString(u"RU"), product, vendor);
  EXPECT_EQ(product, u"Торговля") << "the first match wins";
  LookupProductAndVendor(d, WideString(u"de"), product, vendor);
  EXPECT_EQ(product, u"Trade") << "the English record";
  EXPECT_EQ(vendor, u"Vesk");
  // Each name on its own: a matching record without a vendor takes the
  // English one; without English, the first record's names.
  const std::vector<KitDescription> partial = {Description(u"ru", u"Торговля", u"", u""),
                                               Description(u"de", u"Handel", u"Vesk DE", u""),
                                               Description(u"en", u"", u"Vesk", u"")};
  LookupProductAndVendor(partial, WideString(u"ru"), product, vendor);
  EXPECT_EQ(product, u"Торговля");
  EXPECT_EQ(vendor, u"Vesk");
  LookupProductAndVendor(partial, WideString(u"fr"), product, vendor);
  EXPECT_EQ(product, u"Торговля") << "English names no product: the first record's";
  EXPECT_EQ(vendor, u"Vesk");
  LookupProductAndVendor({Description(u"en", u"", u"", u"")}, WideString(u"fr"), product, vendor);
  EXPECT_EQ(product, u"") << "no record names one: the page's default text";
  LookupProductAndVendor({}, WideString(u"en"), product, vendor);
  EXPECT_EQ(vendor, u"");
}

TEST(KitLookupTest, DescriptionDocumentFallsBackToEnglish) {
  const std::vector<KitDescription> d = {
      Description(u"ru", u"", u"", u""), Description(u"de", u"", u"", u"de.html"),
      Description(u"En", u"", u"", u"en.html"), Description(u"en", u"", u"", u"second.html")};
  EXPECT_EQ(LookupDescriptionDocument(d, WideString(u"de")), u"de.html");
  EXPECT_EQ(LookupDescriptionDocument(d, WideString(u"ru")), u"en.html") << "empty document";
  EXPECT_EQ(LookupDescriptionDocument(d, WideString(u"fr")), u"en.html") << "no match";
  EXPECT_EQ(LookupDescriptionDocument(d, WideString(u"EN")), u"en.html");
  // The first "en" record decides even when its document is empty.
  const std::vector<KitDescription> emptyEn = {Description(u"en", u"", u"", u""),
                                               Description(u"en", u"", u"", u"late.html")};
  EXPECT_EQ(LookupDescriptionDocument(emptyEn, WideString(u"fr")), u"");
  EXPECT_EQ(LookupDescriptionDocument({Description(u"ru", u"", u"", u"")}, WideString(u"ru")), u"");
  // Single-language kit read in another language: its names and its document.
  const std::vector<KitDescription> single = {Description(u"en", u"P", u"V", u"d.html")};
  WideString product = u"x", vendor = u"y";
  LookupProductAndVendor(single, WideString(u"ru"), product, vendor);
  EXPECT_EQ(product, u"P") << "the English record's";
  EXPECT_EQ(LookupDescriptionDocument(single, WideString(u"ru")), u"d.html");
}

TEST(KitWriterTest, EncodesTheDocumentedLayout) {
  Bytes out;
  ASSERT_TRUE(EncodeKitTables(1, {Description(u"en", u"P", u"", u"")},
                              {Entry(u"ab", 0x0102030405060708ULL, 9, 10)}, out));
  const Bytes expected = {1,  0, 0, 0,  // format
                          1,  0, 0, 0,  // description count
                          26, 0, 0, 0,  // record length 4 + 6 + 4 + 8
                          2,  0, 0, 0, 'e', 0, 'n', 0, 1,   0, 0,   0, 'P', 0,  // language, product
                          0,  0, 0, 0, 0,   0, 0,   0,                          // vendor, document
                          1,  0, 0, 0,                                          // entry count
                          28, 0, 0, 0, 2,   0, 0,   0, 'a', 0, 'b', 0,  // length 24 + 4, name
                          8,  7, 6, 5, 4,   3, 2,   1, 9,   0, 0,   0, 10,  0, 0, 0};
  EXPECT_EQ(out, expected);
  Bytes unchanged = {42};
  EXPECT_FALSE(EncodeKitTables(0, {}, {}, unchanged)) << "single-language needs one record";
  EXPECT_FALSE(EncodeKitTables(0, ThreeLanguages(), {}, unchanged));
  EXPECT_EQ(unchanged, Bytes{42});
}

TEST(KitWriterTest, DeflateIsDeterministicAndStreamsInPieces) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i * 7919 % 1000) + "\n";
  const Bytes data(text.begin(), text.end());
  const Bytes whole = DeflateRaw(data);
  EXPECT_EQ(whole, DeflateRaw(data));
  Bytes pieces;
  RawDeflater deflater([&pieces](const unsigned char* p, std::size_t n) {
    pieces.insert(pieces.end(), p, p + n);
    return true;
  });
  for (std::size_t i = 0; i < data.size(); i += 1000) {
    ASSERT_TRUE(deflater.Write(data.data() + i, std::min<std::size_t>(1000, data.size() - i)));
  }
  ASSERT_TRUE(deflater.Finish());
  EXPECT_EQ(pieces, whole);
  EXPECT_EQ(deflater.bytesIn(), data.size());
  EXPECT_FALSE(deflater.Write("x", 1)) << "no writes after the end";
  RawDeflater refusing([](const unsigned char*, std::size_t) { return false; });
  EXPECT_FALSE(refusing.Write(data.data(), data.size()) && refusing.Finish());
}

}  // namespace
}  // namespace veskp8::testing
