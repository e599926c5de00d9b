/* Preloaded into the installer by the scenarios that act while it copies:
   every write(2) or copy_file_range(2) of 64 KiB or more waits 4 ms first (VESKP8_SLOW_WRITE_MS
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
typedef ssize_t (*copy_range_fn)(int, loff_t*, int, loff_t*, size_t, unsigned int);

static void Pause(size_t count) {
  if (count < 65536) return;
  static long ms = -1;
  if (ms < 0) {
    const char* set = getenv("VESKP8_SLOW_WRITE_MS");
    ms = set != NULL ? atol(set) : 4;
  }
  const struct timespec pause = {ms / 1000, (ms % 1000) * 1000000};
  nanosleep(&pause, NULL);
}

ssize_t write(int fd, const void* buffer, size_t count) {
  static write_fn real_write;
  if (real_write == NULL) real_write = (write_fn)dlsym(RTLD_NEXT, "write");
  Pause(count);
  return real_write(fd, buffer, count);
}

/* The installer copies entries from the kit image with copy_file_range. */
ssize_t copy_file_range(int in, loff_t* in_offset, int out, loff_t* out_offset, size_t count,
                        unsigned int flags) {
  static copy_range_fn real_copy;
  if (real_copy == NULL) real_copy = (copy_range_fn)dlsym(RTLD_NEXT, "copy_file_range");
  Pause(count);
  return real_copy(in, in_offset, out, out_offset, count, flags);
}
