// The key=value reader and writer, on real files.
#include "launcher_config/config_table.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "launcher_config/config_keys.h"
#include "launcher_config/save_fault_seam.h"
#include "launcher_config/test_support.h"

namespace veskp8 {
namespace {

using testing::FileExists;
using testing::ListNames;
using testing::N;
using testing::ReadFileBytes;
using testing::TempHome;
using testing::W;
using testing::WriteFileBytes;

using Values = std::vector<std::string>;

class ConfigTableTest : public ::testing::Test {
 protected:
  std::string FilePath() const { return home_.Join("cfg/vesklaunch.cfg"); }

  // Writes `bytes` to the test file and loads it into a fresh table.
  ConfigTable LoadBytes(const std::string& bytes, LoadOutcome* outcome = nullptr) {
    WriteFileBytes(FilePath(), bytes);
    ConfigTable table;
    LoadOutcome result = Load(W(FilePath()), table);
    if (outcome != nullptr) *outcome = result;
    return table;
  }

  // Saves the table to the test file and returns the file's bytes.
  std::string SaveBytes(const ConfigTable& table) {
    Save(W(FilePath()), table);
    return ReadFileBytes(FilePath());
  }

  static Values NarrowValues(const ConfigTable& table, const std::string& key) {
    Values out;
    if (const auto* values = FindValues(table, W(key))) {
      for (const WideString& value : *values) out.push_back(N(value));
    }
    return out;
  }

  static std::vector<std::string> Keys(const ConfigTable& table) {
    std::vector<std::string> keys;
    for (const ConfigEntry& entry : table.m_entries) keys.push_back(N(entry.m_key));
    return keys;
  }

  TempHome home_;
};

TEST_F(ConfigTableTest, RepeatedKeysGatherUnderFirstSpellingAndRepeatedValuesCollapse) {
  ConfigTable table = LoadBytes("A=1\nB=2\na=3\nA=1\n");
  EXPECT_EQ(Keys(table), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(NarrowValues(table, "A"), (Values{"1", "3"}));
  EXPECT_EQ(NarrowValues(table, "b"), (Values{"2"}));
  EXPECT_EQ(SaveBytes(table), "A=1\nA=3\nB=2\n");
}

TEST_F(ConfigTableTest, ValuesDifferingOnlyInCaseKeepTheFirst) {
  ConfigTable table = LoadBytes("K=/home/u/T\nK=/home/u/t\nK=/home/u/T/\n");
  EXPECT_EQ(NarrowValues(table, "K"), (Values{"/home/u/T", "/home/u/T/"}));
}

TEST_F(ConfigTableTest, LineSyntax) {
  ConfigTable table = LoadBytes(
      "X = y\n"
      "k=a=b\n"
      "justakey\n"
      "\n"
      "=x\n"
      "#comment=1\n"
      "\tTab\t=\t\n"
      "last=line");
  ASSERT_EQ(Keys(table),
            (std::vector<std::string>{"X ", "k", "justakey", "", "#comment", "\tTab\t", "last"}));
  EXPECT_EQ(NarrowValues(table, "X "), (Values{" y"}));
  EXPECT_TRUE(FindValues(table, W("X")) == nullptr);
  EXPECT_EQ(NarrowValues(table, "k"), (Values{"a=b"}));
  EXPECT_EQ(NarrowValues(table, "justakey"), (Values{""}));
  EXPECT_EQ(NarrowValues(table, ""), (Values{"x"}));
  EXPECT_EQ(NarrowValues(table, "\tTab\t"), (Values{"\t"}));
  EXPECT_EQ(NarrowValues(table, "last"), (Values{"line"}));
  EXPECT_EQ(SaveBytes(table), "X = y\nk=a=b\njustakey=\n=x\n#comment=1\n\tTab\t=\t\nlast=line\n");
}

TEST_F(ConfigTableTest, CarriageReturnsAreOrdinaryCharacters) {
  ConfigTable table = LoadBytes("A=1\r\nB\r\n\r\nC=2\r\n");
  EXPECT_EQ(Keys(table), (std::vector<std::string>{"A", "B\r", "\r", "C"}));
  EXPECT_EQ(NarrowValues(table, "A"), (Values{"1\r"}));
  EXPECT_EQ(SaveBytes(table), "A=1\r\nB\r=\n\r=\nC=2\r\n");
}

TEST_F(ConfigTableTest, ByteOrderMarkBelongsToTheFirstKey) {
  const std::string bytes = "\xEF\xBB\xBFKey=v\nKey=w\n";
  ConfigTable table = LoadBytes(bytes);
  ASSERT_EQ(table.m_entries.size(), 2u);
  EXPECT_EQ(table.m_entries[0].m_key, WideString(u"\uFEFFKey"));
  EXPECT_EQ(NarrowValues(table, "Key"), (Values{"w"}));
  EXPECT_EQ(SaveBytes(table), bytes);
}

TEST_F(ConfigTableTest, EmptyAndMissingFilesGiveEmptyTables) {
  LoadOutcome outcome;
  EXPECT_TRUE(LoadBytes("", &outcome).m_entries.empty());
  EXPECT_EQ(outcome, LoadOutcome::kLoaded);

  ConfigTable table;
  EXPECT_EQ(Load(W(home_.Join("nothing/here.cfg")), table), LoadOutcome::kNotFound);
  EXPECT_TRUE(table.m_entries.empty());

  EXPECT_EQ(Load(home_.wide(), table), LoadOutcome::kUnreadable);  // a directory
  EXPECT_TRUE(table.m_entries.empty());

  EXPECT_EQ(SaveBytes(ConfigTable{}), "");
  EXPECT_TRUE(FileExists(FilePath()));
}

TEST_F(ConfigTableTest, LoadAppendsBehindExistingEntries) {
  ConfigTable table;
  ASSERT_TRUE(AddValue(table, W("b"), W("0")));
  WriteFileBytes(FilePath(), "A=1\nB=2\nB=0\n");
  EXPECT_EQ(Load(W(FilePath()), table), LoadOutcome::kLoaded);
  EXPECT_EQ(Keys(table), (std::vector<std::string>{"b", "A"}));
  EXPECT_EQ(NarrowValues(table, "B"), (Values{"0", "2"}));
}

TEST_F(ConfigTableTest, AddValueAndFindValues) {
  ConfigTable table;
  EXPECT_TRUE(AddValue(table, W("Key"), W("v")));
  EXPECT_FALSE(AddValue(table, W("KEY"), W("V")));
  EXPECT_TRUE(AddValue(table, W("kEy"), W("")));
  EXPECT_FALSE(AddValue(table, W("key"), W("")));
  EXPECT_TRUE(AddValue(table, W(""), W("x")));
  ASSERT_EQ(table.m_entries.size(), 2u);
  EXPECT_EQ(N(table.m_entries[0].m_key), "Key");
  EXPECT_EQ(NarrowValues(table, "KEY"), (Values{"v", ""}));
  EXPECT_TRUE(FindValues(table, W("Ke")) == nullptr);
}

TEST_F(ConfigTableTest, SetValuesKeepsPositionOrAppends) {
  const std::vector<WideString> dirs = {W("/t1"), W("/t2")};

  ConfigTable middle = LoadBytes("A=1\nconfigurationtemplateslocation=/old\nB=2\n");
  SetValues(middle, ConfigurationTemplatesLocation, dirs);
  EXPECT_EQ(SaveBytes(middle),
            "A=1\nconfigurationtemplateslocation=/t1\nconfigurationtemplateslocation=/t2\nB=2\n");

  ConfigTable absent = LoadBytes("A=1\nB=2\n");
  SetValues(absent, ConfigurationTemplatesLocation, dirs);
  EXPECT_EQ(SaveBytes(absent),
            "A=1\nB=2\nConfigurationTemplatesLocation=/t1\nConfigurationTemplatesLocation=/t2\n");

  // An empty list removes the lines; the key moves to the end without values.
  ConfigTable cleared = LoadBytes("ConfigurationTemplatesLocation=/old\nA=1\n");
  SetValues(cleared, W("CONFIGURATIONTEMPLATESLOCATION"), {});
  EXPECT_EQ(Keys(cleared), (std::vector<std::string>{"A", "CONFIGURATIONTEMPLATESLOCATION"}));
  EXPECT_EQ(SaveBytes(cleared), "A=1\n");
}

TEST_F(ConfigTableTest, InvalidBytesSurviveARewriteByteForByte) {
  const std::string before =
      "K\xFF=v\xC3\n"
      "ConfigurationTemplatesLocation=/old\xE9\n"
      "Z=\x80\x80 \xF0\x9F\x98\x80 \xED\xA0\x80\n"
      "\xC3\xA9t\xC3\xA9=ok\n";
  ConfigTable table = LoadBytes(before);
  EXPECT_EQ(table.m_entries.size(), 4u);
  EXPECT_EQ(SaveBytes(table), before);

  SetValues(table, ConfigurationTemplatesLocation, {W("/new")});
  EXPECT_EQ(SaveBytes(table),
            "K\xFF=v\xC3\n"
            "ConfigurationTemplatesLocation=/new\n"
            "Z=\x80\x80 \xF0\x9F\x98\x80 \xED\xA0\x80\n"
            "\xC3\xA9t\xC3\xA9=ok\n");
}

TEST_F(ConfigTableTest, ZeroByteStopsTheRead) {
  LoadOutcome outcome;
  ConfigTable table = LoadBytes(std::string("A=1\nB=2\0C=3\n", 12), &outcome);
  EXPECT_EQ(outcome, LoadOutcome::kStoppedAtZero);
  EXPECT_EQ(Keys(table), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(NarrowValues(table, "B"), (Values{"2"}));
}

TEST_F(ConfigTableTest, UnrepresentableTextFailsBeforeTouchingTheFile) {
  WriteFileBytes(FilePath(), "A=1\n");
  ConfigTable table;
  ASSERT_TRUE(AddValue(table, W("A"), WideString(u"lone \xD800 surrogate")));
  try {
    Save(W(FilePath()), table);
    FAIL() << "Save accepted a lone surrogate";
  } catch (int code) {
    EXPECT_EQ(code, 2);
  }
  EXPECT_EQ(ReadFileBytes(FilePath()), "A=1\n");
  EXPECT_EQ(ListNames(home_.Join("cfg")), (std::vector<std::string>{"vesklaunch.cfg"}));
}

TEST_F(ConfigTableTest, SaveKeepsPermissionBitsAndGivesNewFilesTheUmaskMode) {
  WriteFileBytes(FilePath(), "A=1\n");
  ASSERT_EQ(chmod(FilePath().c_str(), 0640), 0);
  ConfigTable table = LoadBytes("A=1\n");
  ASSERT_EQ(chmod(FilePath().c_str(), 0640), 0);
  SaveBytes(table);
  struct stat status;
  ASSERT_EQ(stat(FilePath().c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);

  mode_t old_mask = umask(027);
  const std::string fresh = home_.Join("cfg/fresh.cfg");
  Save(W(fresh), table);
  umask(old_mask);
  ASSERT_EQ(stat(fresh.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadFileBytes(fresh), "A=1\n");
}

TEST_F(ConfigTableTest, SaveThroughSymbolicLinksReplacesTheFileAndKeepsTheLinks) {
  const std::string real = home_.Join("real/vesklaunch.cfg");
  WriteFileBytes(real, "A=1\n");
  WriteFileBytes(home_.Join("cfg/placeholder"), "");
  // cfg/middle -> ../real/vesklaunch.cfg (relative), cfg/vesklaunch.cfg -> middle
  ASSERT_EQ(symlink("../real/vesklaunch.cfg", home_.Join("cfg/middle").c_str()), 0);
  ASSERT_EQ(symlink("middle", FilePath().c_str()), 0);

  ConfigTable table;
  ASSERT_EQ(Load(W(FilePath()), table), LoadOutcome::kLoaded);
  ASSERT_TRUE(AddValue(table, W("B"), W("2")));
  Save(W(FilePath()), table);

  struct stat status;
  ASSERT_EQ(lstat(FilePath().c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
  ASSERT_EQ(lstat(home_.Join("cfg/middle").c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
  EXPECT_EQ(ReadFileBytes(real), "A=1\nB=2\n");
  EXPECT_EQ(ListNames(home_.Join("real")), (std::vector<std::string>{"vesklaunch.cfg"}));

  // A dangling link: the file it names is created.
  const std::string dangling = home_.Join("cfg/dangling.cfg");
  ASSERT_EQ(symlink(home_.Join("real/created.cfg").c_str(), dangling.c_str()), 0);
  Save(W(dangling), table);
  ASSERT_EQ(lstat(dangling.c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
  EXPECT_EQ(ReadFileBytes(home_.Join("real/created.cfg")), "A=1\nB=2\n");

  // A loop of links cannot be written.
  const std::string loop = home_.Join("cfg/loop");
  ASSERT_EQ(symlink("loop", loop.c_str()), 0);
  try {
    Save(W(loop), table);
    FAIL() << "Save wrote through a link loop";
  } catch (int code) {
    EXPECT_EQ(code, 1);
  }
}

TEST_F(ConfigTableTest, TargetsThatCannotBeOpenedThrowOne) {
  ConfigTable table;
  ASSERT_TRUE(AddValue(table, W("A"), W("1")));
  for (const std::string& path :
       {home_.Join("missing/dir/vesklaunch.cfg"), home_.path(), std::string()}) {
    try {
      Save(W(path), table);
      FAIL() << "Save succeeded for '" << path << "'";
    } catch (int code) {
      EXPECT_EQ(code, 1) << path;
    }
  }
  EXPECT_FALSE(FileExists(home_.Join("missing")));
}

// Each failing step of a save leaves the old file and no temporary file.
struct FaultCase {
  SaveStep step;
  int fail_on_call;  // 1 = the first time the step is reached
  int expected_code;
};

int g_calls = 0;
FaultCase g_fault{};

bool FailAt(SaveStep step) { return step == g_fault.step && ++g_calls == g_fault.fail_on_call; }

TEST_F(ConfigTableTest, FailedStepsLeaveTheOldFileAndNoTemporaryFile) {
  const std::string old = "Keep=me\n";
  std::vector<WideString> dirs;
  for (int i = 0; i < 20000; ++i) dirs.push_back(W("/dir/" + std::to_string(i)));
  ConfigTable table;
  SetValues(table, ConfigurationTemplatesLocation, dirs);
  const FaultCase cases[] = {{SaveStep::kCreateTemp, 1, 1},
                             {SaveStep::kWrite, 1, 2},
                             {SaveStep::kWrite, 3, 2},
                             {SaveStep::kSync, 1, 2},
                             {SaveStep::kRename, 1, 2}};
  for (const FaultCase& fault : cases) {
    WriteFileBytes(FilePath(), old);
    g_fault = fault;
    g_calls = 0;
    SetSaveFaultHook(FailAt);
    try {
      Save(W(FilePath()), table);
      ADD_FAILURE() << "no failure injected at step " << static_cast<int>(fault.step);
    } catch (int code) {
      EXPECT_EQ(code, fault.expected_code);
    }
    SetSaveFaultHook(nullptr);
    EXPECT_EQ(ReadFileBytes(FilePath()), old);
    EXPECT_EQ(ListNames(home_.Join("cfg")), (std::vector<std::string>{"vesklaunch.cfg"}));
  }
  // Without faults the same save goes through (the table spans many chunks).
  Save(W(FilePath()), table);
  EXPECT_GT(ReadFileBytes(FilePath()).size(), 4 * kSaveChunkBytes);
}

}  // namespace
}  // namespace veskp8
