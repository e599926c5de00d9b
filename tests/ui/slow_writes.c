/* Preloaded into the installer by the cancel_while_copying scenario: every
   write(2) of 64 KiB or more waits 4 ms first, so that copying the scenario's
   1.5 GB kit takes several seconds however fast the machine and its disk are
   (the scenario acts on the copying page while the copy runs). The small
   writes of the user interface (to the X server) are not delayed. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

typedef ssize_t (*write_fn)(int, const void*, size_t);

ssize_t write(int fd, const void* buffer, size_t count) {
  static write_fn real_write;
  if (real_write == NULL) real_write = (write_fn)dlsym(RTLD_NEXT, "write");
  if (count >= 65536) {
    const struct timespec pause = {0, 4000000};
    nanosleep(&pause, NULL);
  }
  return real_write(fd, buffer, count);
}
