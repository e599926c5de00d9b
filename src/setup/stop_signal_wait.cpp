#include "setup/stop_signal_wait.h"

#include <pthread.h>

#include <cerrno>
#include <ctime>

namespace veskp8 {

StopSignalWait::StopSignalWait() {
  sigemptyset(&m_set);
  sigaddset(&m_set, SIGTERM);
  sigaddset(&m_set, SIGINT);
  sigaddset(&m_set, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &m_set, &m_previous);
}

StopSignalWait::~StopSignalWait() { pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }

int StopSignalWait::Take(unsigned milliseconds) {
  timespec timeout{};
  timeout.tv_sec = milliseconds / 1000;
  timeout.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  int signal = 0;
  do {
    signal = sigtimedwait(&m_set, nullptr, &timeout);
  } while (signal < 0 && errno == EINTR);
  if (signal <= 0) return 0;
  if (m_received == 0) m_received = signal;
  return signal;
}

void StopSignalWait::EndBySignal(int signal) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  raise(signal);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
}

}  // namespace veskp8
