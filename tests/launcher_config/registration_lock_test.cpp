// Registrations by installers that finish at about the same time: none is
// lost, and a lock that is held too long delays a registration only a little.
#include "launcher_config/registration_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "launcher_config/save_fault_seam.h"
#include "launcher_config/template_locations.h"
#include "launcher_config/template_registration.h"
#include "launcher_config/test_support.h"

namespace veskp8 {
namespace {

using testing::N;
using testing::ReadFileBytes;
using testing::TempHome;
using testing::W;
using testing::WriteFileBytes;

constexpr char kKey[] = "ConfigurationTemplatesLocation=";

// Every save dawdles before it renames its file into place: the window in
// which an unserialised writer drops another's directory.
bool SlowRename(SaveStep step) {
  if (step == SaveStep::kRename) usleep(300 * 1000);
  return false;
}

std::vector<std::string> RegisteredInScope0() {
  std::vector<WideString> list;
  ReadTemplateLocations(list, 0);
  std::vector<std::string> out;
  for (const WideString& value : list) out.push_back(N(value));
  std::sort(out.begin(), out.end());
  return out;
}

TEST(RegistrationLockTest, InstallersFinishingTogetherKeepEveryDirectory) {
  TempHome home;
  WriteFileBytes(home.Join(".Vesk/vesklaunch/vesklaunch.cfg"),
                 std::string("Other=1\n") + kKey + "/t/old\n");
  SetSaveFaultHook(&SlowRename);
  for (int round = 0; round < 3; ++round) {
    // Each installer read the list when it started, before either finished.
    const std::string dirs[] = {"/t/a" + std::to_string(round), "/t/b" + std::to_string(round)};
    std::vector<TemplateRegistration> regs(2);
    int barrier[2];
    ASSERT_EQ(pipe(barrier), 0);
    std::vector<pid_t> children;
    for (int i = 0; i < 2; ++i) {
      ReadRegisteredTemplates(regs[i]);
      regs[i].m_targetDir = W(dirs[i] + "/");
      const pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        char c;
        close(barrier[1]);
        if (read(barrier[0], &c, 1) != 1) _exit(2);
        RegisterInstalledTemplates(regs[i]);
        _exit(0);
      }
      children.push_back(pid);
    }
    close(barrier[0]);
    ASSERT_EQ(write(barrier[1], "gg", 2), 2);  // both at once
    close(barrier[1]);
    for (pid_t pid : children) {
      int status = 0;
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::vector<std::string> listed = RegisteredInScope0();
    for (const std::string& dir : dirs) {
      EXPECT_NE(std::find(listed.begin(), listed.end(), dir), listed.end())
          << dir << " was dropped in round " << round;
    }
    EXPECT_NE(std::find(listed.begin(), listed.end(), "/t/old"), listed.end());
  }
  SetSaveFaultHook(nullptr);
  EXPECT_EQ(ReadFileBytes(home.Join(".Vesk/vesklaunch/vesklaunch.cfg")).rfind("Other=1\n", 0), 0u)
      << "other keys keep their place";
  struct stat st {};
  ASSERT_EQ(lstat(home.Join(".veskp8/locks").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u) << "the lock lies in a private directory";
}

TEST(RegistrationLockTest, ALockHeldTooLongDelaysRegistrationBoundedly) {
  TempHome home;
  const RegistrationLock held;  // another installer that hangs while holding it
  ASSERT_TRUE(held.held());
  TemplateRegistration reg;
  ReadRegisteredTemplates(reg);
  reg.m_targetDir = W("/t/late");
  const auto started = std::chrono::steady_clock::now();
  RegisterInstalledTemplates(reg);
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  EXPECT_GE(waited.count(), kRegistrationLockWaitMs - 50);
  EXPECT_LT(waited.count(), kRegistrationLockWaitMs + 2000);
  EXPECT_EQ(RegisteredInScope0(), (std::vector<std::string>{"/t/late"}))
      << "registration went on as it would have";
}

}  // namespace
}  // namespace veskp8
