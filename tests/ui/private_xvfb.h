// Starts an Xvfb of the test program's own, for the in-process GTK tests.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace veskp8::test {

// Starts Xvfb (1024x768x24, no TCP, then `extra_args`) on a display number
// of its own and sets DISPLAY to it. The number is picked at random from a
// high range: Xvfb's -displayfd reuses the lowest free number, which a server
// ending elsewhere may still clean up under the new one. Returns the server's
// process id, or -1 when none came up in 30 tries (DISPLAY then unchanged).
inline pid_t StartPrivateXvfb(const std::vector<std::string>& extra_args = {}) {
  std::srand(static_cast<unsigned>(getpid()));
  for (int attempt = 0; attempt < 30; ++attempt) {
    const std::string display = ":" + std::to_string(100 + std::rand() % 900);
    const std::string socket = "/tmp/.X11-unix/X" + display.substr(1);
    if (access(socket.c_str(), F_OK) == 0) continue;
    std::vector<std::string> args{"Xvfb", display, "-screen", "0", "1024x768x24"};
    args.insert(args.end(), extra_args.begin(), extra_args.end());
    args.insert(args.end(), {"-nolisten", "tcp"});
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
      execvp("Xvfb", argv.data());
      _exit(127);
    }
    bool ended = false;
    for (int i = 0; i < 100 && !ended; ++i) {
      ended = waitpid(pid, nullptr, WNOHANG) == pid;  // it gave up
      if (!ended && access(socket.c_str(), F_OK) == 0) {
        setenv("DISPLAY", display.c_str(), 1);
        return pid;
      }
      if (!ended) usleep(100000);
    }
    if (!ended) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
  }
  return -1;
}

// Ends a server that StartPrivateXvfb started (nothing for -1).
inline void StopPrivateXvfb(pid_t pid) {
  if (pid > 0) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }
}

}  // namespace veskp8::test
