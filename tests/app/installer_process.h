// Runs the built programs (veskp8-setup, veskp8-kit) as child processes with
// an argument vector, a chosen environment (never DISPLAY) and working
// directory, and collects their exit status, standard output and standard
// error separately.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace veskp8::test {

// The built program `name`, or empty when VESKP8_BIN_DIR is not set.
inline std::string BuiltProgram(const char* name) {
  const char* bin = std::getenv("VESKP8_BIN_DIR");
  return bin ? std::string(bin) + "/" + name : std::string();
}

struct ProgramRun {
  int status = -1;  // as waitpid reports it
  std::string out;
  std::string err;
};

// The parent's environment without DISPLAY and without the variables that
// `settings` ("NAME=value") set, followed by `settings`.
inline std::vector<std::string> ChildEnvironment(const std::vector<std::string>& settings) {
  std::vector<std::string> result;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry(*e);
    const std::string name = entry.substr(0, entry.find('='));
    bool replaced = name == "DISPLAY";
    for (const std::string& s : settings)
      replaced |= s.compare(0, name.size() + 1, name + "=") == 0;
    if (!replaced) result.push_back(entry);
  }
  result.insert(result.end(), settings.begin(), settings.end());
  return result;
}

// A child started with its output going to two unlinked temporary files.
class ChildProgram {
 public:
  ChildProgram(const std::string& program, const std::vector<std::string>& arguments,
               const std::vector<std::string>& settings, const std::string& cwd) {
    m_out = Scratch();
    m_err = Scratch();
    std::vector<std::string> environment = ChildEnvironment(settings);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, m_out, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, m_err, STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
      m_pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
  }
  ~ChildProgram() {
    if (m_pid > 0) {
      kill(m_pid, SIGKILL);
      (void)Wait();
    }
    if (m_out >= 0) close(m_out);
    if (m_err >= 0) close(m_err);
  }
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;

  pid_t pid() const { return m_pid; }

  // Waits for the end and returns what the child did.
  ProgramRun Wait() {
    ProgramRun run;
    if (m_pid > 0 && waitpid(m_pid, &run.status, 0) != m_pid) run.status = -1;
    m_pid = -1;
    run.out = Contents(m_out);
    run.err = Contents(m_err);
    return run;
  }

 private:
  static int Scratch() {
    char path[] = "/tmp/veskp8-child-XXXXXX";
    const int fd = mkstemp(path);
    if (fd >= 0) unlink(path);
    return fd;
  }
  static std::string Contents(int fd) {
    std::string text;
    if (fd < 0) return text;
    lseek(fd, 0, SEEK_SET);
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    return text;
  }

  pid_t m_pid = -1;
  int m_out = -1;
  int m_err = -1;
};

inline ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                             const std::vector<std::string>& settings = {},
                             const std::string& cwd = {}) {
  ChildProgram child(program, arguments, settings, cwd);
  return child.Wait();
}

// The names in `dir` without "." and "..", in directory order; none when it
// cannot be read.
inline std::vector<std::string> DirectoryNames(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
  }
  return names;
}

// True when this configuration built the installer (VESKP8_BIN_DIR).
inline bool InstallerBuilt() {
  struct stat st {};
  const std::string program = BuiltProgram("veskp8-setup");
  return !program.empty() && stat(program.c_str(), &st) == 0;
}

}  // namespace veskp8::test
