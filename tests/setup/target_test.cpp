// What the directory page's text means, where the chooser opens, the room
// check before copying, and the success page's words.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <string>
#include <vector>

#include "install/engine_test_support.h"
#include "setup/success_summary.h"
#include "setup/target_path.h"
#include "setup/target_space.h"
#include "text/utf8.h"

namespace veskp8::test {
namespace {

TEST(TargetPath, TildeMeansHomeAndRelativePathsAreRefused) {
  using Kind = TargetPath::Kind;
  struct Case {
    const char16_t* typed;
    const char16_t* home;
    Kind kind;
    const char16_t* path;
  };
  const Case cases[] = {
      {u"", u"/home/u", Kind::kEmpty, u""},
      {u"/srv/t", u"/home/u", Kind::kAbsolute, u"/srv/t"},
      {u"\\srv\\t", u"/home/u", Kind::kAbsolute, u"/srv/t"},
      {u"~", u"/home/u/", Kind::kAbsolute, u"/home/u"},
      {u"~/vorlagen", u"/home/u", Kind::kAbsolute, u"/home/u/vorlagen"},
      {u"~\\vorlagen", u"/home/u", Kind::kAbsolute, u"/home/u/vorlagen"},
      {u"~/x", u"/", Kind::kAbsolute, u"/x"},
      {u"vorlagen", u"/home/u", Kind::kRelative, u""},
      {u"./t", u"/home/u", Kind::kRelative, u""},
      {u"C:\\tmp\\x", u"/home/u", Kind::kRelative, u""},
      {u"~bob/t", u"/home/u", Kind::kRelative, u""},  // another user's home: not expanded
      {u"~/t", u"", Kind::kRelative, u""},           // no home known
  };
  for (const Case& c : cases) {
    const TargetPath result = InterpretTargetPath(WideString(c.typed), WideString(c.home));
    EXPECT_EQ(result.kind, c.kind) << Narrow(WideString(c.typed));
    EXPECT_EQ(result.path, WideString(c.path)) << Narrow(WideString(c.typed));
  }
}

class TargetTest : public ScratchTemplateTest {};

TEST_F(TargetTest, ChooserOpensAtTheNearestExistingDirectory) {
  ASSERT_EQ(mkdir((m_t + "/a").c_str(), 0755), 0);
  ASSERT_EQ(symlink((m_t + "/a").c_str(), (m_t + "/link").c_str()), 0);
  std::FILE* file = std::fopen((m_t + "/file").c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  EXPECT_EQ(NearestExistingDirectory(Wide(m_t + "/a/")), Wide(m_t + "/a"));
  EXPECT_EQ(NearestExistingDirectory(Wide(m_t + "/a/b/c")), Wide(m_t + "/a"));
  EXPECT_EQ(NearestExistingDirectory(Wide(m_t + "/link/new")), Wide(m_t + "/link"));
  EXPECT_EQ(NearestExistingDirectory(Wide(m_t + "/file/x")), Wide(m_t));
  EXPECT_EQ(NearestExistingDirectory(u"/no-such-top-level/x"), WideString(u"/"));
  EXPECT_EQ(NearestExistingDirectory(u"relative/x"), WideString());
}

TEST_F(TargetTest, SpaceCountsEveryByteToWriteAgainstTheTargetsFileSystem) {
  SmallFileSystem small(m_base / "small", "size=1m");
  if (!small.mounted()) GTEST_SKIP() << "cannot mount a tmpfs: " << small.error();
  const std::string target = m_base / "small/templates";  // not there yet
  auto fits = OpenTestKit(m_base / "fits.efd", {{"a.bin", std::string(300 * 1024, 'a')},
                                               {"d\\b.bin", std::string(10, 'b')}});
  ASSERT_TRUE(fits);
  TargetSpace space = MeasureTargetSpace(*fits, Wide(target));
  ASSERT_TRUE(space.known);
  EXPECT_EQ(space.needed, 300u * 1024 + 4096) << "block-rounded";
  EXPECT_LE(space.available, 1u << 20);
  EXPECT_TRUE(space.fits());

  auto tooLarge = OpenTestKit(m_base / "large.efd", {{"a.bin", std::string(600 * 1024, 'a')},
                                                     {"b.bin", std::string(600 * 1024, 'b')}});
  ASSERT_TRUE(tooLarge);
  space = MeasureTargetSpace(*tooLarge, Wide(target));
  EXPECT_FALSE(space.fits());
  EXPECT_EQ(TargetSpaceMessage(space, Wide(target + "/")),
            Utf8ToWide("Not enough free space for the templates in " + target +
                       ": 1200\u00A0KB needed, " + std::to_string(space.available / 1024) +
                       "\u00A0KB available."));
  // A replaced file counts in full; an up-to-date one, which is left alone,
  // not at all.
  ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
  PutFile(target + "/a.bin", std::string(600 * 1024, 'o'), kNew);
  space = MeasureTargetSpace(*tooLarge, Wide(target));
  EXPECT_EQ(space.needed, 600u * 1024) << "a.bin is up to date";
  PutFile(target + "/a.bin", "older", kOld);
  EXPECT_EQ(MeasureTargetSpace(*tooLarge, Wide(target)).needed, 1200u * 1024);
}

TEST(TargetWords, SizesAndTheSuccessSummary) {
  EXPECT_EQ(SizeText(0, true), WideString(u"0\u00A0KB"));
  EXPECT_EQ(SizeText(1, true), WideString(u"1\u00A0KB"));
  EXPECT_EQ(SizeText(1, false), WideString(u"0\u00A0KB"));
  EXPECT_EQ(SizeText((10u << 20) - 1, true), WideString(u"10240\u00A0KB"));
  EXPECT_EQ(SizeText(10u << 20, true), WideString(u"10\u00A0MB"));
  EXPECT_EQ(SizeText((10ull << 30) + 1, true), WideString(u"11\u00A0GB"));
  EXPECT_EQ(SizeText((10ull << 30) + 1, false), WideString(u"10\u00A0GB"));
  InstallCounts counts;
  counts.newFiles = 3;
  counts.replaced = 1;
  counts.unchanged = 40;
  EXPECT_EQ(SuccessPageText(counts, u"/srv/t/"),
            WideString(u"Configuration installed successfully.\n\nThe files are in /srv/t.\n"
                       u"New files: 3. Replaced: 1. Already up to date: 40."));
}

}  // namespace
}  // namespace veskp8::test
