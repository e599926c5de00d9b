#include "install/fs/stop_signals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <mutex>

namespace veskp8 {
namespace {

std::atomic<bool> g_stop{false};
std::atomic<int> g_signal{0};

// Guards the notifier; the waiter thread records a signal under it too.
std::mutex g_notifierMutex;
StopNotifier g_notifier = nullptr;
void* g_notifierContext = nullptr;

// The signals taken; fixed before the waiter thread starts.
sigset_t g_set;

// The stop signals that the process did not inherit as ignored: a run under
// nohup, or a background job of a shell without job control (SIGINT), keeps
// ignoring them.
sigset_t StopSet() {
  sigset_t set;
  sigemptyset(&set);
  for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
    struct sigaction current {};
    if (sigaction(number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
    sigaddset(&set, number);
  }
  return set;
}

void* WaitForSignals(void*) {
  for (;;) {
    int number = 0;
    if (sigwait(&g_set, &number) != 0) continue;
    const std::lock_guard<std::mutex> lock(g_notifierMutex);
    if (g_signal.load() != 0) continue;  // the first one decides
    g_signal.store(number);
    g_stop.store(true);
    if (g_notifier != nullptr) g_notifier(g_notifierContext);
  }
  return nullptr;
}

bool StartWaiter() {
  g_set = StopSet();
  sigset_t previous;
  if (pthread_sigmask(SIG_BLOCK, &g_set, &previous) != 0) return false;
  pthread_attr_t attributes;
  bool started = false;
  if (pthread_attr_init(&attributes) == 0) {
    pthread_t thread;
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    started = pthread_create(&thread, &attributes, &WaitForSignals, nullptr) == 0;
    pthread_attr_destroy(&attributes);
  }
  if (!started) (void)pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return started;
}

}  // namespace

bool InstallStopSignals() {
  static const bool installed = StartWaiter();
  return installed;
}

bool StopRequested() noexcept { return g_stop.load(); }

const std::atomic<bool>& ProcessStopFlag() noexcept { return g_stop; }

int StopSignal() noexcept { return g_signal.load(); }

void RequestProcessStop() noexcept { g_stop.store(true); }

void SetStopNotifier(StopNotifier notifier, void* context) {
  const std::lock_guard<std::mutex> lock(g_notifierMutex);
  g_notifier = notifier;
  g_notifierContext = context;
  if (notifier != nullptr && g_signal.load() != 0) notifier(context);
}

void EndByStopSignal() {
  const int number = g_signal.load();
  if (number != 0) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    (void)sigaction(number, &action, nullptr);
    // Raised while still blocked, it stays pending for this thread and is
    // delivered, with the default action, as soon as it is unblocked.
    (void)raise(number);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, number);
    (void)pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    _exit(128 + number);
  }
  _exit(1);
}

}  // namespace veskp8
