// Preloaded into the installer by power_loss_test.sh (scenario no_fsync):
// every way of asking for durability succeeds and does nothing, so that the
// installer's writes reach the disk only when the kernel chooses. The power
// loss harness must then find crash states that lose data.
#define _GNU_SOURCE
#include <fcntl.h>
#include <unistd.h>

int fsync(int fd) {
  (void)fd;
  return 0;
}

int fdatasync(int fd) {
  (void)fd;
  return 0;
}

int syncfs(int fd) {
  (void)fd;
  return 0;
}

void sync(void) {}

int sync_file_range(int fd, off64_t offset, off64_t nbytes, unsigned int flags) {
  (void)fd;
  (void)offset;
  (void)nbytes;
  (void)flags;
  return 0;
}
