// StopSignalWait: SIGTERM, SIGINT and SIGHUP as requests to stop, for a run
// without a main loop (the unattended mode). The signals are blocked, so no
// asynchronous handler ever runs and no file work happens inside one; the
// owner takes them synchronously (sigtimedwait) at points where it can act:
// between its steps, and while it waits for the worker. At the end it ends
// the process by the same signal, so that a parent sees how it ended.
//
// Construct it on the main thread before any other thread exists: threads
// created afterwards inherit the blocked mask, so a signal sent to the
// process stays pending until Take collects it. The destructor restores the
// previous mask (a signal still pending is then delivered as usual).
//
// Not copyable. Only the thread that constructed it uses it.
#pragma once

#include <signal.h>

namespace veskp8 {

class StopSignalWait {
 public:
  StopSignalWait();
  ~StopSignalWait();
  StopSignalWait(const StopSignalWait&) = delete;
  StopSignalWait& operator=(const StopSignalWait&) = delete;

  // Takes one pending stop signal, waiting at most `milliseconds` (0: only
  // looks). Its number, or 0 when none came. The first one taken is also
  // remembered in received().
  [[nodiscard]] int Take(unsigned milliseconds);

  // The first stop signal taken, 0 when none.
  int received() const noexcept { return m_received; }

  // Ends the process by `signal`: its default disposition restored, raised,
  // and unblocked so that it is delivered at once. Returns only when the
  // signal did not end the process (its default was changed under us).
  static void EndBySignal(int signal);

 private:
  sigset_t m_set{};
  sigset_t m_previous{};
  int m_received = 0;
};

}  // namespace veskp8
