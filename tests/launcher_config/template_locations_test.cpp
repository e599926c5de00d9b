// Reading and registering template directories in the launcher's files of a
// temporary home directory.
#include "launcher_config/template_locations.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "launcher_config/save_fault_seam.h"
#include "launcher_config/template_registration.h"
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

using Strings = std::vector<std::string>;

constexpr char kKey[] = "ConfigurationTemplatesLocation=";

Strings Narrow(const std::vector<WideString>& list) {
  Strings out;
  for (const WideString& value : list) out.push_back(N(value));
  return out;
}

std::vector<WideString> Wide(const Strings& list) {
  std::vector<WideString> out;
  for (const std::string& value : list) out.push_back(W(value));
  return out;
}

class TemplateLocationsTest : public ::testing::Test {
 protected:
  std::string Scope0Primary() const { return home_.Join(".Vesk/vesklaunch/vesklaunch.cfg"); }
  std::string Scope0Secondary() const {
    return home_.Join(".veskp8/.Vesk/vesklaunch/vesklaunch.cfg");
  }
  std::string Scope1Primary() const { return home_.Join(".Vesk/vesklauncht/vesklaunch.cfg"); }

  TemplateRegistration ReadAll() {
    TemplateRegistration reg;
    ReadRegisteredTemplates(reg);
    return reg;
  }

  TempHome home_;
};

TEST_F(TemplateLocationsTest, RemoveDuplicateDirectoriesKeepsFirstSpelling) {
  std::vector<WideString> list =
      Wide({"/t/a", "/T/A/", "", "", "/x\\", "/x/", "/x", "/t/a//", "/t/b"});
  RemoveDuplicateDirectories(list);
  EXPECT_EQ(Narrow(list), (Strings{"/t/a", "", "/x\\", "/x/", "/t/a//", "/t/b"}));
}

TEST_F(TemplateLocationsTest, ReadMergesPrimaryThenSecondary) {
  WriteFileBytes(Scope0Primary(), std::string(kKey) + "/t/a\n" + kKey + "C:\\t\\b\nOther=1\n");
  WriteFileBytes(Scope0Secondary(), std::string(kKey) + "/t/a/\n" + kKey + "/t/c\n");
  std::vector<WideString> list;
  ReadTemplateLocations(list, 0);
  EXPECT_EQ(Narrow(list), (Strings{"/t/a", "C:/t/b", "/t/c"}));

  // Scope 1 reads its own primary file and the scope 0 primary as secondary.
  WriteFileBytes(Scope1Primary(), std::string(kKey) + "/s1\n" + kKey + "/T/A\n");
  list.clear();
  ReadTemplateLocations(list, 1);
  EXPECT_EQ(Narrow(list), (Strings{"/s1", "/T/A", "C:/t/b"}));
}

TEST_F(TemplateLocationsTest, NothingConfiguredProposesTheDefaultAndCreatesTheFile) {
  TemplateRegistration reg = ReadAll();
  EXPECT_TRUE(reg.m_templateDirs.empty());
  EXPECT_FALSE(reg.m_scope1FileExists);
  EXPECT_FALSE(reg.m_listFromScope1);
  EXPECT_EQ(N(reg.m_targetDir), home_.path() + "/.veskp8/Vesk/veskp8/tmplts/");

  reg.m_targetDir = W("/inst/dir/");
  RegisterInstalledTemplates(reg);
  EXPECT_EQ(ReadFileBytes(Scope0Primary()), std::string(kKey) + "/inst/dir\n");
  EXPECT_FALSE(FileExists(home_.Join(".Vesk/vesklauncht")));
  // The product data directory holds only the registration lock's directory.
  EXPECT_EQ(ListNames(home_.Join(".veskp8")), (Strings{"locks"}));
  EXPECT_EQ(Narrow(reg.m_templateDirs), (Strings{"/inst/dir"}));
}

TEST_F(TemplateLocationsTest, InstallingMovesTheDirectoryToTheHeadAndKeepsEverythingElse) {
  const std::string before =
      "InstalledLocation=/opt/vesk/8.3\n"
      "configurationtemplateslocation=/t/a\n"
      "CommonInfoBases=/home/u/bases.v8i\n"
      "CommonInfoBases=/srv/shared.v8i\n"
      "configurationtemplateslocation=C:\\t\\b\n"
      "DefaultVersion=8.3.22\n"
      "UnknownKey=x=y\n";
  const std::string secondary = std::string(kKey) + "/t/a/\n" + kKey + "/t/c\n";
  WriteFileBytes(Scope0Primary(), before);
  WriteFileBytes(Scope0Secondary(), secondary);

  TemplateRegistration reg = ReadAll();
  EXPECT_EQ(Narrow(reg.m_templateDirs), (Strings{"/t/a", "C:/t/b", "/t/c"}));
  reg.m_targetDir = W("/t/c/");
  RegisterInstalledTemplates(reg);

  EXPECT_EQ(ReadFileBytes(Scope0Primary()),
            "InstalledLocation=/opt/vesk/8.3\n"
            "configurationtemplateslocation=/t/c\n"
            "configurationtemplateslocation=/t/a\n"
            "configurationtemplateslocation=C:/t/b\n"
            "CommonInfoBases=/home/u/bases.v8i\n"
            "CommonInfoBases=/srv/shared.v8i\n"
            "DefaultVersion=8.3.22\n"
            "UnknownKey=x=y\n");
  EXPECT_EQ(ReadFileBytes(Scope0Secondary()), secondary);
  EXPECT_FALSE(FileExists(Scope1Primary()));
  EXPECT_EQ(ListNames(home_.Join(".Vesk/vesklaunch")), (Strings{"vesklaunch.cfg"}));
}

TEST_F(TemplateLocationsTest, RoundTripKeepsEveryOtherLineByteForByte) {
  // Lines of other keys in a file the launcher wrote: odd bytes, CR LF,
  // blanks, keys in any spelling, values in a deliberate order.
  const std::string head =
      "z-last-first=3\n"
      "Windows=C:\\Program Files\\Vesk\r\n"
      "  padded key  =  padded value  \n"
      "Latin1=caf\xE9\n"
      "Utf8=\xD0\xBF\xD1\x83\xD1\x82\xD1\x8C\n"
      "=empty key\n"
      "EmptyValue=\n";
  const std::string tail =
      "b=2\n"
      "b=1\n"
      "#not a comment=1\n"
      "InstallComponents=DESIGNERALLCLIENTS=1\n";
  WriteFileBytes(Scope0Primary(), head + kKey + "/old/one\n" + kKey + "/old/two\n" + tail);

  TemplateRegistration reg = ReadAll();
  reg.m_targetDir = W("/new\\");
  RegisterInstalledTemplates(reg);
  EXPECT_EQ(ReadFileBytes(Scope0Primary()),
            head + kKey + "/new\n" + kKey + "/old/one\n" + kKey + "/old/two\n" + tail);

  // A second registration of a listed directory only reorders.
  reg = ReadAll();
  reg.m_targetDir = W("/OLD/TWO/");
  RegisterInstalledTemplates(reg);
  EXPECT_EQ(ReadFileBytes(Scope0Primary()),
            head + kKey + "/OLD/TWO\n" + kKey + "/new\n" + kKey + "/old/one\n" + tail);
}

TEST_F(TemplateLocationsTest, ProposalIsTheFirstWritableListedDirectory) {
  WriteFileBytes(home_.Join("blocker"), "a file, not a directory");
  const std::string good = home_.Join("templates/new");
  WriteFileBytes(Scope0Primary(), std::string(kKey) + home_.Join("blocker/sub") + "\n" + kKey +
                                      good + "\n" + kKey + home_.path() + "\n");
  TemplateRegistration reg = ReadAll();
  EXPECT_EQ(N(reg.m_targetDir), good);
  EXPECT_FALSE(FileExists(home_.Join("templates")));
}

// Which files a registration writes, for each combination of existing files.
TEST_F(TemplateLocationsTest, OnlyScope0FileWritesScope0) {
  WriteFileBytes(Scope0Primary(), std::string(kKey) + "/a\n");
  TemplateRegistration reg = ReadAll();
  EXPECT_FALSE(reg.m_scope1FileExists);
  EXPECT_FALSE(reg.m_listFromScope1);
  reg.m_targetDir = W("/b/");
  RegisterInstalledTemplates(reg);
  EXPECT_EQ(ReadFileBytes(Scope0Primary()), std::string(kKey) + "/b\n" + kKey + "/a\n");
  EXPECT_FALSE(FileExists(home_.Join(".Vesk/vesklauncht")));
}

TEST_F(TemplateLocationsTest, OnlyScope1FileWithListWritesOnlyScope1) {
  WriteFileBytes(Scope1Primary(), std::string("X=1\n") + kKey + "/s1\n");
  TemplateRegistration reg = ReadAll();
  EXPECT_TRUE(reg.m_scope1FileExists);
  EXPECT_TRUE(reg.m_listFromScope1);
  EXPECT_EQ(Narrow(reg.m_templateDirs), (Strings{"/s1"}));
  reg.m_targetDir = W("/b");
  RegisterInstalledTemplates(reg);
  EXPECT_EQ(ReadFileBytes(Scope1Primary()), std::string("X=1\n") + kKey + "/b\n" + kKey + "/s1\n");
  EXPECT_FALSE(FileExists(home_.Join(".Vesk/vesklaunch")));
}

TEST_F(TemplateLocationsTest, BothFilesTakeTheListOfScope0) {
  WriteFileBytes(Scope0Primary(), std::string(kKey) + "/s0\n");
  WriteFileBytes(Scope1Primary(), std::string(kKey) + "/s1\nY=2\n");
  TemplateRegistration reg = ReadAll();
  EXPECT_TRUE(reg.m_scope1FileExists);
  EXPECT_FALSE(reg.m_listFromScope1);
  EXPECT_EQ(Narrow(reg.m_templateDirs), (Strings{"/s0"}));
  reg.m_targetDir = W("/b");
  RegisterInstalledTemplates(reg);
  EXPECT_EQ(ReadFileBytes(Scope0Primary()), std::string(kKey) + "/b\n" + kKey + "/s0\n");
  // Scope 1's own entry is replaced by the list read from scope 0.
  EXPECT_EQ(ReadFileBytes(Scope1Primary()), std::string(kKey) + "/b\n" + kKey + "/s0\nY=2\n");
}

TEST_F(TemplateLocationsTest, Scope1FileWithoutListWritesBoth) {
  WriteFileBytes(Scope1Primary(), "Y=2\n");
  TemplateRegistration reg = ReadAll();
  EXPECT_TRUE(reg.m_scope1FileExists);
  EXPECT_FALSE(reg.m_listFromScope1);
  reg.m_targetDir = W("/b/");
  RegisterInstalledTemplates(reg);
  EXPECT_EQ(ReadFileBytes(Scope0Primary()), std::string(kKey) + "/b\n");
  EXPECT_EQ(ReadFileBytes(Scope1Primary()), std::string("Y=2\n") + kKey + "/b\n");
}

TEST_F(TemplateLocationsTest, FileWithZeroByteIsReadButNeverRewritten) {
  const std::string before = std::string(kKey) + "/t/a\nA=1\n" + '\0' + "B=2\n" + kKey + "/t/z\n";
  WriteFileBytes(Scope0Primary(), before);
  WriteFileBytes(Scope1Primary(), "Y=2\n");
  TemplateRegistration reg = ReadAll();
  EXPECT_EQ(Narrow(reg.m_templateDirs), (Strings{"/t/a"}));
  reg.m_targetDir = W("/new");
  RegisterInstalledTemplates(reg);
  EXPECT_EQ(ReadFileBytes(Scope0Primary()), before);
  // The failed scope 0 write ends the registration: scope 1 stays too.
  EXPECT_EQ(ReadFileBytes(Scope1Primary()), "Y=2\n");
  EXPECT_EQ(ListNames(home_.Join(".Vesk/vesklaunch")), (Strings{"vesklaunch.cfg"}));

  try {
    WriteTemplateLocations(Wide({"/x"}), 0);
    FAIL() << "a file holding a zero byte was rewritten";
  } catch (int code) {
    EXPECT_EQ(code, 1);
  }
  EXPECT_EQ(ReadFileBytes(Scope0Primary()), before);
}

TEST_F(TemplateLocationsTest, DirectoryWithLineBreakIsNotRegistered) {
  const std::string before = std::string(kKey) + "/t/a\n";
  WriteFileBytes(Scope0Primary(), before);
  for (const char* target : {"/t/x\nEvil=1", "/t/x\rEvil=1", "/t/y\n"}) {
    TemplateRegistration reg = ReadAll();
    reg.m_targetDir = W(target);
    RegisterInstalledTemplates(reg);
    EXPECT_EQ(ReadFileBytes(Scope0Primary()), before);
    EXPECT_EQ(Narrow(reg.m_templateDirs), (Strings{"/t/a"}));
  }
  // Written directly, a value with a line feed is left out of the file.
  WriteTemplateLocations(Wide({"/t/x\nEvil=1", "/t/b"}), 0);
  EXPECT_EQ(ReadFileBytes(Scope0Primary()), std::string(kKey) + "/t/b\n");
}

// The directory of the file disappears between the existence test and the
// save: the retry creates it and the second attempt writes the file.
const char* g_directory_to_remove = nullptr;
int g_create_calls = 0;

bool RemoveDirectoryOnFirstAttempt(SaveStep step) {
  if (step == SaveStep::kCreateTemp && ++g_create_calls == 1) rmdir(g_directory_to_remove);
  return false;
}

bool AlwaysFailCreate(SaveStep step) {
  if (step == SaveStep::kCreateTemp) ++g_create_calls;
  return step == SaveStep::kCreateTemp;
}

TEST_F(TemplateLocationsTest, FailedSaveIsRetriedOnceAfterCreatingTheDirectory) {
  const std::string directory = home_.Join(".Vesk/vesklaunch");
  g_directory_to_remove = directory.c_str();
  g_create_calls = 0;
  SetSaveFaultHook(RemoveDirectoryOnFirstAttempt);
  WriteTemplateLocations(Wide({"/t/a"}), 0);
  SetSaveFaultHook(nullptr);
  EXPECT_EQ(g_create_calls, 2);
  EXPECT_EQ(ReadFileBytes(Scope0Primary()), std::string(kKey) + "/t/a\n");

  g_create_calls = 0;
  SetSaveFaultHook(AlwaysFailCreate);
  int thrown = 0;
  try {
    WriteTemplateLocations(Wide({"/t/b"}), 0);
  } catch (int code) {
    thrown = code;
  }
  SetSaveFaultHook(nullptr);
  EXPECT_EQ(thrown, 1);
  EXPECT_EQ(g_create_calls, 2);
  EXPECT_EQ(ReadFileBytes(Scope0Primary()), std::string(kKey) + "/t/a\n");
}

// Permission faults, made as the unprivileged user nobody when run as root.
class TemplatePermissionTest : public TemplateLocationsTest {
 protected:
  // Registers "/new" as the unprivileged user: 0 when the registration
  // returned normally; otherwise what WriteTemplateLocations threw, + 10.
  int RegisterUnprivileged() {
    return testing::RunUnprivileged([] {
      TemplateRegistration reg;
      ReadRegisteredTemplates(reg);
      reg.m_targetDir = W("/new/");
      RegisterInstalledTemplates(reg);  // must swallow every failure
      try {
        WriteTemplateLocations(reg.m_templateDirs, 0);
      } catch (int code) {
        return 10 + code;
      }
      return 0;
    });
  }
};

TEST_F(TemplatePermissionTest, ReadOnlyFileStaysUnchanged) {
  const std::string before = std::string("A=1\n") + kKey + "/t/a\n";
  WriteFileBytes(Scope0Primary(), before);
  testing::GiveToUnprivileged(home_.path());
  ASSERT_EQ(chmod(Scope0Primary().c_str(), 0444), 0);
  int code = RegisterUnprivileged();
  if (code == testing::kCannotDropPrivileges) GTEST_SKIP() << "cannot drop to user nobody here";
  EXPECT_EQ(code, 11);
  EXPECT_EQ(ReadFileBytes(Scope0Primary()), before);
  EXPECT_EQ(ListNames(home_.Join(".Vesk/vesklaunch")), (Strings{"vesklaunch.cfg"}));
}

TEST_F(TemplatePermissionTest, ReadOnlyDirectoryLeavesTheWritableFileUnchanged) {
  const std::string before = std::string("A=1\n") + kKey + "/t/a\n";
  WriteFileBytes(Scope0Primary(), before);
  testing::GiveToUnprivileged(home_.path());
  ASSERT_EQ(chmod(home_.Join(".Vesk/vesklaunch").c_str(), 0555), 0);
  int code = RegisterUnprivileged();
  if (code == testing::kCannotDropPrivileges) GTEST_SKIP() << "cannot drop to user nobody here";
  EXPECT_EQ(code, 11);
  EXPECT_EQ(ReadFileBytes(Scope0Primary()), before);
  EXPECT_EQ(ListNames(home_.Join(".Vesk/vesklaunch")), (Strings{"vesklaunch.cfg"}));
}

TEST_F(TemplatePermissionTest, WritableFileIsRewrittenByTheUser) {
  WriteFileBytes(Scope0Primary(), std::string("A=1\n") + kKey + "/t/a\n");
  testing::GiveToUnprivileged(home_.path());
  int code = RegisterUnprivileged();
  if (code == testing::kCannotDropPrivileges) GTEST_SKIP() << "cannot drop to user nobody here";
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadFileBytes(Scope0Primary()),
            std::string("A=1\n") + kKey + "/new\n" + kKey + "/t/a\n");
}

}  // namespace
}  // namespace veskp8
