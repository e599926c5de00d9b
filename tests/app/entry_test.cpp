// Runs the built veskp8-setup: whatever the command line and locale, it exits
// with status 0 and prints nothing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct RunResult {
  int status = -1;
  std::string output;  // stdout and stderr together
};

std::string Installer() {
  const char* bin = std::getenv("VESKP8_BIN_DIR");
  return bin ? std::string(bin) + "/veskp8-setup" : std::string();
}

// Runs the installer with `arguments`, LC_ALL=`locale` and no DISPLAY.
RunResult RunInstaller(const std::vector<std::string>& arguments, const std::string& locale) {
  RunResult result;
  char outputPath[] = "/tmp/veskp8-entry-XXXXXX";
  const int output = mkstemp(outputPath);
  if (output < 0) return result;
  unlink(outputPath);

  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, "LC_ALL=", 7) != 0 && std::strncmp(*e, "DISPLAY=", 8) != 0) {
      environment.emplace_back(*e);
    }
  }
  environment.push_back("LC_ALL=" + locale);

  const std::string program = Installer();
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output, STDERR_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t pid = -1;
  const int spawned =
      posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned == 0 && waitpid(pid, &result.status, 0) != pid) result.status = -1;

  lseek(output, 0, SEEK_SET);
  char buffer[4096];
  for (ssize_t n; (n = read(output, buffer, sizeof buffer)) > 0;) result.output.append(buffer, n);
  close(output);
  return result;
}

TEST(Entry, ExitsWithZeroAndPrintsNothing) {
  struct stat info {};
  if (Installer().empty() || stat(Installer().c_str(), &info) != 0) {
    GTEST_SKIP() << "veskp8-setup is not built in this configuration (VESKP8_BIN_DIR)";
  }
  const std::vector<std::vector<std::string>> commandLines = {
      {}, {"usecwd", "-S"}, {"-Lru"}, {"-Lde", "-S"}, {"/X", "-L", "word"}, {"-LDE", "-", "/"},
  };
  for (const char* locale : {"C", "ru_RU.UTF-8", "pt_BR.UTF-8"}) {
    for (const std::vector<std::string>& arguments : commandLines) {
      std::string shown = locale;
      for (const std::string& a : arguments) shown += " " + a;
      const RunResult run = RunInstaller(arguments, locale);
      ASSERT_TRUE(WIFEXITED(run.status)) << shown << " status " << run.status;
      EXPECT_EQ(WEXITSTATUS(run.status), 0) << shown;
      EXPECT_EQ(run.output, "") << shown;
    }
  }
}

}  // namespace
