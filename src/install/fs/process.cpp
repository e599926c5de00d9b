#include "install/fs/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

namespace veskp8 {
namespace {

// Owns the spawn attribute and file-action objects for one start.
class SpawnSetup {
 public:
  SpawnSetup() {
    m_ok = posix_spawn_file_actions_init(&m_actions) == 0;
    if (m_ok && posix_spawnattr_init(&m_attributes) != 0) {
      posix_spawn_file_actions_destroy(&m_actions);
      m_ok = false;
    }
  }
  ~SpawnSetup() {
    if (m_ok) {
      posix_spawnattr_destroy(&m_attributes);
      posix_spawn_file_actions_destroy(&m_actions);
    }
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  bool ok() const { return m_ok; }
  posix_spawn_file_actions_t* actions() { return &m_actions; }
  posix_spawnattr_t* attributes() { return &m_attributes; }

 private:
  bool m_ok = false;
  posix_spawn_file_actions_t m_actions;
  posix_spawnattr_t m_attributes;
};

int Run(const std::vector<NarrowString>& argv, bool stdout_to_null, bool stderr_to_null,
        const std::atomic<bool>* stop);

}  // namespace

int RunProgram(const std::vector<NarrowString>& argv, bool stderr_to_null,
               const std::atomic<bool>* stop) {
  return Run(argv, false, stderr_to_null, stop);
}

int RunProgramQuietly(const std::vector<NarrowString>& argv, const std::atomic<bool>* stop) {
  return Run(argv, true, true, stop);
}

namespace {

int Run(const std::vector<NarrowString>& argv, bool stdout_to_null, bool stderr_to_null,
        const std::atomic<bool>* stop) {
  if (argv.empty() || argv.front().empty()) return -1;

  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const NarrowString& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  SpawnSetup setup;
  if (!setup.ok()) return -1;
  if (stdout_to_null && posix_spawn_file_actions_addopen(setup.actions(), STDOUT_FILENO,
                                                         "/dev/null", O_WRONLY, 0) != 0) {
    return -1;
  }
  if (stderr_to_null && posix_spawn_file_actions_addopen(setup.actions(), STDERR_FILENO,
                                                         "/dev/null", O_WRONLY, 0) != 0) {
    return -1;
  }
  // The program starts with no blocked signals and the default handling of
  // the signals a shell would reset, whatever the calling thread has set.
  sigset_t empty;
  sigemptyset(&empty);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGQUIT);
  if (posix_spawnattr_setsigmask(setup.attributes(), &empty) != 0 ||
      posix_spawnattr_setsigdefault(setup.attributes(), &defaults) != 0 ||
      posix_spawnattr_setflags(setup.attributes(),
                               POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) != 0) {
    return -1;
  }

  pid_t pid = 0;
  if (posix_spawnp(&pid, args[0], setup.actions(), setup.attributes(), args.data(), environ) != 0) {
    return -1;
  }
  int status = 0;
  for (;;) {
    const pid_t ended = waitpid(pid, &status, stop != nullptr ? WNOHANG : 0);
    if (ended == pid) return status;
    if (ended < 0 && errno != EINTR) return -1;
    if (stop != nullptr) {
      if (stop->load()) return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
}

}  // namespace
}  // namespace veskp8
