// WorkerThread: the record of the one thread that runs the installation job
// (InstallEngine) against a ProgressChannel, so the wizard window stays alive
// while files are copied.
//
// Life of the thread. Launch starts it; its body (ThreadMain) runs the job
// once and ends. The stop flag is tested before the run: when it is already
// set, no job runs and the thread posts (1223, "Installation error", 0) so a
// reader of the channel does not wait for a status that would never come.
// Setting the flag during a run does not interrupt it: the run completes,
// posts as usual, and no further run ever starts.
//
// Join waits for the thread to end. The owner calls it before the channel,
// the kit or this record go away, and before the process ends, so the process
// never ends inside a commit or a rollback. The destructor joins a thread
// that was launched and not joined yet.
//
// The thread records what its run did (report()); the owner reads it after
// Join, which orders the worker's writes before the read.
//
// Threads. Clear, Launch, RequestStop and Join are called by the owning (user
// interface) thread; RequestStop only sets an atomic flag. Not copyable or
// movable: the running thread holds a pointer to this record.
#pragma once

#include <pthread.h>

#include <atomic>

#include "install/install_engine.h"

namespace veskp8 {

class ProgressChannel;

// The outcome of the worker's run, as its owner reads it after Join.
struct InstallReport {
  bool ran = false;                   // a job ran (false: stopped before it, or never launched)
  ResultCode result = kErrCancelled;  // the job's result
  InstallCounts counts;               // what the run wrote and left alone
  WideString failedDestination;       // the entry the run failed on, if any
  int failedError = 0;                // errno of the failing call, 0 when not known
  bool restoredCompletely = true;     // false: the rollback left backups behind ...
  WideString keptBackup;              // ... in this directory (ends in "/")
};

class WorkerThread {
 public:
  WorkerThread() = default;
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Clears the stop flag.
  void Clear();

  // Starts the worker on `channel` (which the caller has Start-ed), once per
  // record: stop flag cleared, createResult() -1, then pthread_attr_init and
  // pthread_create (joinable, default stack). The result of pthread_create
  // (0 on success) is recorded in createResult(); it stays -1 when
  // pthread_attr_init fails. Nothing is posted when creation fails. `options`
  // go to the job (the installer passes the defaults). A second Launch while
  // a launched thread has not been joined does nothing.
  void Launch(ProgressChannel* channel, InstallJobOptions options = {});

  // Sets the stop flag: no job run starts after this.
  void RequestStop();

  // Waits until the thread has ended. 0 when it was joined now or earlier;
  // -1 when no thread was created; otherwise pthread_join's error number.
  int Join();

  // -1 until creation was attempted, then pthread_create's result.
  int createResult() const noexcept { return m_createResult; }
  bool stopRequested() const noexcept { return m_stop.load(); }

  // The run's report. Valid once Join() has returned 0; before that it must
  // not be read (the worker writes it).
  const InstallReport& report() const noexcept { return m_report; }

  // The thread's body; `record` is the WorkerThread. Returns null.
  static void* ThreadMain(void* record);

 private:
  ProgressChannel* m_channel = nullptr;
  std::atomic<bool> m_stop{false};
  pthread_t m_thread{};
  int m_createResult = -1;
  bool m_joined = false;
  InstallJobOptions m_options;
  InstallReport m_report;
};

}  // namespace veskp8
