// Paths below the home directory, and the directory writability test.
#include "launcher_config/config_paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "launcher_config/directory_probe.h"
#include "launcher_config/test_support.h"

namespace veskp8 {
namespace {

using testing::ListNames;
using testing::N;
using testing::TempHome;
using testing::W;
using testing::WriteFileBytes;

TEST(ConfigPathsTest, PathsBelowTheHomeDirectory) {
  TempHome home;  // restores $HOME afterwards
  setenv("HOME", "/home/u", 1);
  EXPECT_EQ(N(GetProductDataDirectory()), "/home/u/.veskp8/");
  EXPECT_EQ(N(GetConfigPath(0, ConfigRole::kPrimary)), "/home/u/.Vesk/vesklaunch/vesklaunch.cfg");
  EXPECT_EQ(N(GetConfigPath(0, ConfigRole::kSecondary)),
            "/home/u/.veskp8//.Vesk/vesklaunch/vesklaunch.cfg");
  EXPECT_EQ(N(GetConfigPath(1, ConfigRole::kPrimary)), "/home/u/.Vesk/vesklauncht/vesklaunch.cfg");
  EXPECT_EQ(N(GetConfigPath(1, ConfigRole::kSecondary)), "/home/u/.Vesk/vesklaunch/vesklaunch.cfg");
  EXPECT_EQ(N(GetDefaultTemplateBase()), "/home/u/.veskp8/Vesk/veskp8/");
  EXPECT_EQ(N(GetDefaultTemplateDirectory()), "/home/u/.veskp8/Vesk/veskp8/tmplts/");

  // Every call looks the home directory up afresh.
  setenv("HOME", "/srv/other", 1);
  EXPECT_EQ(N(GetConfigPath(1, ConfigRole::kPrimary)),
            "/srv/other/.Vesk/vesklauncht/vesklaunch.cfg");
}

TEST(ConfigPathsTest, EmptyHomeStartsAtTheRoot) {
  TempHome home;
  setenv("HOME", "", 1);
  if (!N(GetProductDataDirectory()).starts_with("/.veskp8")) {
    GTEST_SKIP() << "wordexp gives '" << N(GetProductDataDirectory())
                 << "' for an empty $HOME here (it falls back to the password database)";
  }
  EXPECT_EQ(N(GetConfigPath(0, ConfigRole::kPrimary)), "/.Vesk/vesklaunch/vesklaunch.cfg");
}

class DirectoryProbeTest : public ::testing::Test {
 protected:
  TempHome home_;
};

TEST_F(DirectoryProbeTest, ExistingAndMissingDirectories) {
  EXPECT_TRUE(IsDirectoryWritable(home_.wide()));
  EXPECT_TRUE(IsDirectoryWritable(W(home_.path() + "///")));
  // Missing levels are created by the installation: the ancestor decides.
  EXPECT_TRUE(IsDirectoryWritable(W(home_.Join("a/b/c/"))));
  EXPECT_FALSE(IsDirectoryWritable(WideString()));

  // A file in the way, as the directory or as an ancestor.
  WriteFileBytes(home_.Join("file"), "x");
  EXPECT_FALSE(IsDirectoryWritable(W(home_.Join("file"))));
  EXPECT_FALSE(IsDirectoryWritable(W(home_.Join("file/sub"))));

  // Nothing is left behind by the probes.
  EXPECT_EQ(ListNames(home_.path()), (std::vector<std::string>{"file"}));
}

TEST_F(DirectoryProbeTest, TestsTheDirectoryItselfWhateverTmpdirSays) {
  const std::string locked = home_.Join("locked");
  ASSERT_EQ(mkdir(locked.c_str(), 0755), 0);
  ASSERT_EQ(mkdir((locked + "/sub").c_str(), 0755), 0);
  testing::GiveToUnprivileged(home_.path());
  ASSERT_EQ(chmod(locked.c_str(), 0555), 0);
  ASSERT_EQ(chmod((locked + "/sub").c_str(), 0555), 0);
  // TMPDIR names a writable directory: it must not make other directories pass.
  setenv("TMPDIR", home_.path().c_str(), 1);
  int code = testing::RunUnprivileged([&] {
    int result = 0;
    if (!IsDirectoryWritable(W(home_.path()))) result |= 1;
    if (IsDirectoryWritable(W(locked))) result |= 2;
    if (IsDirectoryWritable(W(locked + "/sub"))) result |= 4;
    if (IsDirectoryWritable(W(locked + "/missing/deeper"))) result |= 8;
    return result;
  });
  unsetenv("TMPDIR");
  if (code == testing::kCannotDropPrivileges) GTEST_SKIP() << "cannot drop to user nobody here";
  EXPECT_EQ(code, 0) << "bit 1: writable home refused; 2, 4, 8: read-only directory accepted";
  EXPECT_TRUE(ListNames(locked + "/sub").empty());
}

}  // namespace
}  // namespace veskp8
