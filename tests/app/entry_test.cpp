// Runs the built veskp8-setup without a display: whatever the command line and
// locale, the wizard cannot start, so it exits with status 1 and says so in
// one line on standard error, and installs nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "app/installer_process.h"

namespace veskp8::test {
namespace {

TEST(Entry, WithoutADisplayExitsWithOneAndOneLine) {
  const std::string program = BuiltProgram("veskp8-setup");
  struct stat info {};
  if (program.empty() || stat(program.c_str(), &info) != 0) {
    GTEST_SKIP() << "veskp8-setup is not built in this configuration (VESKP8_BIN_DIR)";
  }
  const std::vector<std::vector<std::string>> commandLines = {
      {}, {"usecwd", "-S"}, {"-Lru"}, {"-Lde", "-S"}, {"/X", "-L", "word"}, {"-LDE", "-", "/"},
  };
  for (const char* locale : {"C", "ru_RU.UTF-8", "pt_BR.UTF-8"}) {
    for (const std::vector<std::string>& arguments : commandLines) {
      std::string shown = locale;
      for (const std::string& a : arguments) shown += " " + a;
      const ProgramRun run = RunProgram(program, arguments, {std::string("LC_ALL=") + locale});
      ASSERT_TRUE(WIFEXITED(run.status)) << shown << " status " << run.status;
      EXPECT_EQ(WEXITSTATUS(run.status), 1) << shown;
      EXPECT_EQ(run.out, "") << shown;
      // One line, in the UI language, that points to the quiet mode.
      ASSERT_FALSE(run.err.empty()) << shown;
      EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << shown << ": " << run.err;
      EXPECT_NE(run.err.find("-Q"), std::string::npos) << shown << ": " << run.err;
    }
  }
  // German when -Lde chose it, in the locale's encoding.
  const ProgramRun german = RunProgram(program, {"-Lde"}, {"LC_ALL=C.UTF-8"});
  EXPECT_EQ(german.err,
            "Die Anzeige konnte nicht geöffnet werden. Mit der Option -Q arbeitet das "
            "Installationsprogramm ohne Anzeige.\n");
}

}  // namespace
}  // namespace veskp8::test
