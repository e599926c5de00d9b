/* Preloaded into the installer by the scenarios that act while it copies:
   every write(2) of 64 KiB or more waits 4 ms first (VESKP8_SLOW_WRITE_MS
   milliseconds when set), so that copying the scenario's
   1.5 GB kit takes several seconds however fast the machine and its disk are
   (the scenario acts on the copying page while the copy runs). The small
   writes of the user interface (to the X server) are not delayed. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

typedef ssize_t (*write_fn)(int, const void*, size_t);

ssize_t write(int fd, const void* buffer, size_t count) {
  static write_fn real_write;
  if (real_write == NULL) real_write = (write_fn)dlsym(RTLD_NEXT, "write");
  if (count >= 65536) {
    static long ms = -1;
    if (ms < 0) {
      const char* set = getenv("VESKP8_SLOW_WRITE_MS");
      ms = set != NULL ? atol(set) : 4;
    }
    const struct timespec pause = {ms / 1000, (ms % 1000) * 1000000};
    nanosleep(&pause, NULL);
  }
  return real_write(fd, buffer, count);
}
