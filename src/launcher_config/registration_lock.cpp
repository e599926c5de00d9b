#include "launcher_config/registration_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "install/fs/file_system.h"
#include "launcher_config/config_paths.h"
#include "text/conversion.h"
#include "text/string_ops.h"

namespace veskp8 {

RegistrationLock::RegistrationLock() {
  const WideString data = GetProductDataDirectory();
  NarrowString dataPath;
  NarrowString lockDir;
  NarrowString lockFile;
  if (!WideToLocaleChecked(data, dataPath) || !WideToLocaleChecked(data + u"locks", lockDir) ||
      !WideToLocaleChecked(data + u"locks/registration.lock", lockFile)) {
    return;
  }
  // H/.veskp8 with its parents as the installer makes them; the lock's own
  // directory private to the user.
  if (mkdir(dataPath.c_str(), 0777) != 0 && errno != EEXIST && MakeDirectories(data) != kOk) {
    return;
  }
  if (mkdir(lockDir.c_str(), 0700) != 0 && errno != EEXIST) {
    return;
  }
  const int fd = open(lockFile.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    return;
  }
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kRegistrationLockWaitMs);
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      m_fd = fd;
      return;
    }
    if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
      close(fd);  // cannot lock here, or held too long: go on unlocked
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

RegistrationLock::~RegistrationLock() {
  if (m_fd >= 0) {
    close(m_fd);  // releases the flock
  }
}

}  // namespace veskp8
