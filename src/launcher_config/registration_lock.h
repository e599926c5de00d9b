// The lock that serialises the read-modify-write of the launcher's template
// list across installer processes (and threads).
//
// The configuration files themselves cannot carry the lock: every save
// replaces them by rename, so a lock on one would lock an inode that is about
// to go away. The lock is an flock(2) on a stable file instead,
// H/.veskp8/locks/registration.lock, in a private subdirectory (0700) of the
// product data directory; the directories and the file (0600) are created
// when missing and never removed.
//
// The wait is bounded: the lock is tried without blocking, again every
// 20 milliseconds, for at most kRegistrationLockWaitMs. When it cannot be had
// in that time (another installer hangs while holding it), or cannot be made
// at all (no home directory, a read-only home, a file system without flock),
// the holder proceeds unlocked, as registration did before there was a lock:
// the launcher's list is a convenience that never fails an installation.
//
// Threads: any thread; each RegistrationLock is used by one. Not copyable.
#pragma once

namespace veskp8 {

inline constexpr int kRegistrationLockWaitMs = 3000;

class RegistrationLock {
 public:
  // Takes the lock (bounded wait, see above).
  RegistrationLock();
  // Releases it.
  ~RegistrationLock();
  RegistrationLock(const RegistrationLock&) = delete;
  RegistrationLock& operator=(const RegistrationLock&) = delete;

  // True when the lock is held; false when the holder goes on unlocked.
  [[nodiscard]] bool held() const noexcept { return m_fd >= 0; }

 private:
  int m_fd = -1;
};

}  // namespace veskp8
