// Stopping the installer cleanly when it is told to end: SIGTERM (kill, a
// logout), SIGINT (Ctrl-C) and SIGHUP (the terminal was closed), and a lost
// X display. One facility for the wizard and for a run without a main loop.
//
// No asynchronous handler is involved. InstallStopSignals blocks the three
// signals (those not inherited as ignored: under nohup SIGHUP stays ignored,
// as does SIGINT in a shell's background job) in the calling thread, which must be the main thread before any
// other thread exists (GLib, GTK and the worker thread inherit the mask),
// and starts one waiter thread that takes them with sigwait. The first
// signal taken:
//   1. records its number (StopSignal()),
//   2. sets the process stop flag (StopRequested(), ProcessStopFlag()),
//   3. calls the stop notifier, if one is set, on the waiter thread.
// Later signals are taken and dropped: the stop the first one set going
// (a rollback, a commit) finishes first.
//
// Who polls the flag: the pre-install checks between their steps, the kit's
// inflation, the extraction job at every entry and every 1 MiB block it
// copies (InstallJobOptions::stop), and RunProgram while it waits for a
// program such as xdg-open. A stopped job rolls back; a commit under way is
// finished. The owner of the run then removes what it must and calls
// EndByStopSignal, so that a parent (a shell, a session manager) sees the
// process end by that signal.
//
// Threads: every function may be called from any thread. The flag and the
// signal number are atomics; the notifier is set under a mutex that the
// waiter thread also takes, so a stop is never missed between a look at the
// flag and setting the notifier.
#pragma once

#include <atomic>

namespace veskp8 {

// Blocks SIGTERM, SIGINT and SIGHUP in the calling thread and starts the
// waiter thread; once per process (later calls only report the first
// result). False when the waiter thread could not be started: the mask is
// then restored and the signals end the process the default way.
[[nodiscard]] bool InstallStopSignals();

// True once a stop was requested (a signal taken, or RequestProcessStop).
[[nodiscard]] bool StopRequested() noexcept;

// The flag itself, for code that polls it through a pointer (the job, the
// inflation, RunProgram). Never reset.
const std::atomic<bool>& ProcessStopFlag() noexcept;

// The number of the first signal taken; 0 when none was.
[[nodiscard]] int StopSignal() noexcept;

// Sets the stop flag without a signal (the display went away). The notifier
// is not called: the caller ends the process itself.
void RequestProcessStop() noexcept;

// Called once on the waiter thread when the first signal has been recorded.
// It must not do file work or block; it only wakes whoever owns the run
// (for example by adding an idle source to a GLib main context).
using StopNotifier = void (*)(void* context);

// Sets (or, with null, clears) the notifier. When a signal was taken
// already, `notifier` is called at once on the calling thread.
void SetStopNotifier(StopNotifier notifier, void* context);

// Ends the process by the recorded signal: its default disposition is
// restored, it is unblocked in the calling thread and raised again. Without
// a recorded signal (or should the raise not end the process) the process
// ends with _exit(128 + signal), or _exit(1) without one. No static
// destructors run. Call only when the run has been brought to a safe end.
[[noreturn]] void EndByStopSignal();

}  // namespace veskp8
