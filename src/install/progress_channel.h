// ProgressChannel: the one record shared by the user interface thread and the
// installation worker. It carries the job's input (the opened kit and the
// template directory), a cancel request, and the job's latest status (code,
// text, percent) as a single slot that every post overwrites whole.
//
// Lock. A POSIX unnamed semaphore (pshared 0, value 1) used as a mutex. Every
// operation takes it on entry and gives it back on exit through an RAII guard,
// so an exception thrown while fields are copied (std::bad_alloc from a string
// copy) still releases it. It is held only while fields are copied, never
// across file work, sleeps or other locks.
//
// Status protocol. The owner posts an initial status after construction
// (code 0, "Preparing to copy...", 0). The job then posts (0, destination path,
// i * 100 / N) before each entry, and finally either (0, "Copying complete...",
// 100) or (code, "Installation error", percent of the failing entry), or,
// when the rollback left originals behind, (kErrRollbackIncomplete, a text
// naming the kept backup directory, percent) with that directory and the
// failure's code. An error
// status, a cancelled run's status (1223) included, is posted only after the
// rollback has finished, so a reader that sees it may rely on the template
// directory being restored. Statuses posted between two reads are lost: a
// reader sees only the latest one.
//
// Ownership. The channel does not own the kit; the caller of Start keeps it
// alive and unchanged (apart from the job's use of its image handle and copy
// buffer) until the worker that reads it has been joined. Not copyable or
// movable (the semaphore's address is its identity).
//
// Threads. Every operation may be called from any thread; the roles are:
// Start and ReadStatus on the user interface thread, ReadJob,
// IsCancelRequested and Post on the worker, SetCancel on whoever wants the
// running job to stop (the wizard's Cancel while copying, once the user has
// confirmed it; the job then stops after its current 1 MiB block).
#pragma once

#include <semaphore.h>

#include "text/wide_string.h"

namespace veskp8 {

class KitArchive;

// The job's input as ReadJob copies it.
struct ProgressJob {
  KitArchive* kit = nullptr;
  WideString target;  // ends in "/" unless empty
};

// One status as ReadStatus copies it.
struct ProgressStatus {
  int code = 0;     // 0 while running and after success; else the error code
  WideString text;  // destination path, or a message text
  int percent = 0;  // 0 to 100
  // With code kErrRollbackIncomplete: the kept backup directory (ending in
  // "/") and the code of the failure that started the rollback. Empty and 0
  // otherwise.
  WideString backupDirectory;
  int cause = 0;
};

class ProgressChannel {
 public:
  // Empty strings, no job, code 0, percent 0; the semaphore initialised with
  // value 1. Throws std::system_error when sem_init fails.
  ProgressChannel();
  ~ProgressChannel();
  ProgressChannel(const ProgressChannel&) = delete;
  ProgressChannel& operator=(const ProgressChannel&) = delete;

  // Prepares a run: cancel cleared, code 0, percent 0, job and target stored;
  // a slash is appended to a non-empty target whose last character is neither
  // "/" nor "\". The status text is left as it was.
  void Start(KitArchive* job, const WideString& target);

  // Copies of the job and the target.
  [[nodiscard]] ProgressJob ReadJob() const;

  // Sets or clears the cancel request.
  void SetCancel(bool cancel);
  [[nodiscard]] bool IsCancelRequested() const;

  // Replaces the whole status (the backup directory and the cause are given
  // only with kErrRollbackIncomplete).
  void Post(int code, const WideString& text, int percent,
            const WideString& backupDirectory = WideString(), int cause = 0);

  // Copy of the whole status.
  [[nodiscard]] ProgressStatus ReadStatus() const;

 private:
  class Guard;

  mutable sem_t m_lock;
  KitArchive* m_job = nullptr;
  WideString m_target;
  bool m_cancel = false;
  int m_code = 0;
  WideString m_text;
  int m_percent = 0;
  WideString m_backupDirectory;
  int m_cause = 0;
};

}  // namespace veskp8
