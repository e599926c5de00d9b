// FileFinder: listings with patterns and existence tests on real directories.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <string>

#include "fs_test_support.h"
#include "gtest/gtest.h"
#include "install/fs/file_finder.h"
#include "text/conversion.h"
#include "text/string_ops.h"

namespace veskp8 {
namespace {

using test::ScratchDir;
using test::Wide;
using test::WriteText;

// Every name a listing reports, with its attributes.
std::map<std::string, std::uint32_t> List(const WideString& search_path) {
  std::map<std::string, std::uint32_t> found;
  FileFinder finder;
  for (bool ok = finder.FindFirst(search_path); ok; ok = finder.FindNext()) {
    found[std::string(WideToLocale(finder.GetName()).view())] = finder.GetAttributes();
  }
  return found;
}

class FileFinderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.ok());
    ASSERT_EQ(mkdir((dir / "sub").c_str(), 0755), 0);
    ASSERT_TRUE(WriteText(dir / "file.txt", "x"));
    ASSERT_TRUE(WriteText(dir / "kit.efd", "x"));
    ASSERT_TRUE(WriteText(dir / "KIT.EFD", "x"));
    ASSERT_TRUE(WriteText(dir / ".hidden.efd", "x"));
    ASSERT_TRUE(WriteText(dir / "back\\slash.efd", "x"));
    ASSERT_EQ(symlink("sub", (dir / "link-to-dir").c_str()), 0);
    ASSERT_EQ(symlink("file.txt", (dir / "link-to-file").c_str()), 0);
  }
  ScratchDir dir;
};

TEST_F(FileFinderTest, StarListsEverythingWithDirectoryAttributes) {
  const auto found = List(Wide(dir.path() + "/*"));
  const std::map<std::string, std::uint32_t> expected = {
      {".", 0x10},           {"..", 0x10},       {"sub", 0x10},      {"file.txt", 0},
      {"kit.efd", 0},        {"KIT.EFD", 0},     {".hidden.efd", 0}, {"back\\slash.efd", 0},
      {"link-to-dir", 0x10}, {"link-to-file", 0}};
  EXPECT_EQ(found, expected);
}

TEST_F(FileFinderTest, PatternIsCaseSensitiveAndBackslashIsOrdinary) {
  const auto found = List(Wide(dir.path() + "/*.efd"));
  const std::map<std::string, std::uint32_t> expected = {
      {"kit.efd", 0}, {".hidden.efd", 0}, {"back\\slash.efd", 0}};
  EXPECT_EQ(found, expected);
  EXPECT_EQ(List(Wide(dir.path() + "/back\\slash*")).count("back\\slash.efd"), 1u);
  EXPECT_EQ(List(Wide(dir.path() + "/?it.*")).size(), 1u);
  EXPECT_TRUE(List(Wide(dir.path() + "/*.none")).empty());
}

TEST_F(FileFinderTest, MissingDirectoryIsFalse) {
  FileFinder finder;
  EXPECT_FALSE(finder.FindFirst(Wide(dir.path() + "/missing/*")));
  EXPECT_FALSE(finder.FindNext());
  EXPECT_FALSE(finder.FindFirst(Wide(dir.path() + "/file.txt/*")));
}

TEST_F(FileFinderTest, ExistenceTest) {
  FileFinder finder;
  ASSERT_TRUE(finder.FindFirst(Wide(dir.path() + "/file.txt")));
  EXPECT_EQ(finder.GetName(), u"file.txt");
  EXPECT_EQ(finder.GetSearchPath(), Wide(dir.path() + "/file.txt"));
  EXPECT_EQ(finder.GetAttributes(), 0u);
  EXPECT_FALSE(finder.FindNext());  // no listing is open

  ASSERT_TRUE(finder.FindFirst(Wide(dir.path() + "/sub")));
  EXPECT_EQ(finder.GetAttributes(), 0x10u);

  EXPECT_FALSE(finder.FindFirst(Wide(dir.path() + "/missing.txt")));
  EXPECT_EQ(finder.GetName(), u"missing.txt");
  EXPECT_EQ(finder.GetAttributes(), 0u);  // the status is cleared

  // "?" and "[" without "*" are literal characters of one name.
  EXPECT_FALSE(finder.FindFirst(Wide(dir.path() + "/fil?.txt")));
  ASSERT_TRUE(WriteText(dir / "fil?.txt", "x"));
  ASSERT_TRUE(WriteText(dir / "[a].txt", "x"));
  EXPECT_TRUE(finder.FindFirst(Wide(dir.path() + "/fil?.txt")));
  EXPECT_TRUE(finder.FindFirst(Wide(dir.path() + "/[a].txt")));
  EXPECT_FALSE(finder.FindFirst(Wide(dir.path() + "/a.txt")));
}

TEST_F(FileFinderTest, OnlyDirectoriesCarryTheDirectoryAttribute) {
  // A socket's and a block device's type bits share 0x4000 with a directory's.
  const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = dir / "sock";
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  close(sock);
  const auto found = List(Wide(dir.path() + "/so*"));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found.at("sock"), 0u);
}

TEST_F(FileFinderTest, DanglingLinkEndsTheListingThere) {
  ASSERT_EQ(symlink("nowhere", (dir / "dangling").c_str()), 0);
  FileFinder finder;
  EXPECT_FALSE(finder.FindFirst(Wide(dir.path() + "/dangl*")));
}

TEST_F(FileFinderTest, UnrepresentablePathIsFalse) {
  FileFinder finder;
  EXPECT_FALSE(finder.FindFirst(test::Unrepresentable(dir.path() + "/") + u"*"));
  EXPECT_FALSE(finder.FindFirst(test::Unrepresentable(dir.path() + "/file.txt")));
  WideString with_zero = Wide(dir.path() + "/file.txt");
  with_zero.push_back(u'\0');
  with_zero += u"x";
  EXPECT_FALSE(finder.FindFirst(with_zero));
}

TEST_F(FileFinderTest, NewFindFirstReplacesAnOpenListing) {
  FileFinder finder;
  ASSERT_TRUE(finder.FindFirst(Wide(dir.path() + "/*")));
  ASSERT_TRUE(finder.FindFirst(Wide(dir.path() + "/sub/*")));
  std::map<std::string, std::uint32_t> names;
  do {
    names[std::string(WideToLocale(finder.GetName()).view())] = finder.GetAttributes();
  } while (finder.FindNext());
  const std::map<std::string, std::uint32_t> expected = {{".", 0x10}, {"..", 0x10}};
  EXPECT_EQ(names, expected);
}

TEST(FileFinderRootTest, RootAndRelativeListings) {
  EXPECT_EQ(List(u"/*").count("tmp"), 1u);
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_TRUE(WriteText(dir / "only.efd", "x"));
  test::ScopedCwd cwd(dir.path());
  ASSERT_TRUE(cwd.ok());
  const auto found = List(u"*.efd");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found.begin()->first, "only.efd");
}

}  // namespace
}  // namespace veskp8
