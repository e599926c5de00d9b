// A file descriptor closed when its owner goes out of scope.
//
// Owns the descriptor it is given (a negative value: none). Not copyable.
// Any thread may use its own instance. Close() closes early and tells whether
// close(2) succeeded (EINTR counts as closed: the descriptor is gone either
// way); afterwards the object holds no descriptor.
#pragma once

#include <cerrno>

#include <unistd.h>

namespace veskp8 {

class ScopedDescriptor {
 public:
  explicit ScopedDescriptor(int fd) : m_fd(fd) {}
  ~ScopedDescriptor() {
    if (m_fd >= 0) close(m_fd);
  }
  ScopedDescriptor(const ScopedDescriptor&) = delete;
  ScopedDescriptor& operator=(const ScopedDescriptor&) = delete;
  [[nodiscard]] int get() const { return m_fd; }
  [[nodiscard]] bool Close() {
    const int fd = m_fd;
    m_fd = -1;
    return fd < 0 || close(fd) == 0 || errno == EINTR;
  }

 private:
  int m_fd;
};

}  // namespace veskp8
