/* Preloaded into the installer by the kill-at-every-change test: counts the
   calls that change a file system (creating, writing, truncating, reserving,
   renaming, linking, removing, syncing, changing times, modes or attributes)
   and stops the process just before call number VESKP8_KILL_AT with SIGKILL,
   or with SIGSTOP when VESKP8_STOP_AT names it instead (the test then looks
   at the stopped process's files and kills it). With VESKP8_KILL_COUNT the
   number of calls made is written to that file when the process exits
   normally. Writes, reservations and cuts of standard output and error, of
   anything that is not a regular file, and of files without a name, are not
   counted. Calls the C library makes internally (its
   own open inside fopen, say) are not seen; fopen for writing and fclose are
   counted in their place. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <sys/xattr.h>
#include <unistd.h>

static long g_killAt = -1;
static long g_stopAt = -1;
static long g_calls = 0;
static int g_settingsRead = 0;

/* Read at the first call, which may come before this library's own
   constructors ran (another library's). */
static void ReadSettings(void) {
  if (__atomic_exchange_n(&g_settingsRead, 1, __ATOMIC_SEQ_CST)) return;
  const char* kill = getenv("VESKP8_KILL_AT");
  const char* stop = getenv("VESKP8_STOP_AT");
  if (kill != NULL) g_killAt = atol(kill);
  if (stop != NULL) g_stopAt = atol(stop);
}

__attribute__((destructor)) static void WriteCount(void) {
  const char* path = getenv("VESKP8_KILL_COUNT");
  if (path == NULL) return;
  char text[32];
  const int length = snprintf(text, sizeof text, "%ld\n", __atomic_load_n(&g_calls, __ATOMIC_SEQ_CST));
  const int fd = (int)syscall(SYS_openat, AT_FDCWD, path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  if (syscall(SYS_write, fd, text, (size_t)length) < 0) {
    /* nothing to do about it */
  }
  syscall(SYS_close, fd);
}

/* One more change is about to be made. */
static void Point(void) {
  ReadSettings();
  const long n = __atomic_add_fetch(&g_calls, 1, __ATOMIC_SEQ_CST);
  /* To the calling thread: it stops (or dies) before it goes on. */
  if (n == g_killAt) syscall(SYS_tgkill, getpid(), (pid_t)syscall(SYS_gettid), SIGKILL);
  if (n == g_stopAt) syscall(SYS_tgkill, getpid(), (pid_t)syscall(SYS_gettid), SIGSTOP);
}

static void PointIfFile(int fd) {
  struct stat st;
  /* A file without a name (the kit's image) is never seen again after a
     kill: its writes are not points of their own. */
  if (fd > 2 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink > 0) Point();
}

#define REAL(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

static int Creates(int flags) { return (flags & (O_CREAT | O_TRUNC | __O_TMPFILE)) != 0; }

/* open and openat take a mode only when they create. */
#define OPEN(name, params, args)                  \
  int name params {                               \
    mode_t mode = 0;                              \
    if (flags & (O_CREAT | __O_TMPFILE)) {        \
      va_list rest;                               \
      va_start(rest, flags);                      \
      mode = va_arg(rest, mode_t);                \
      va_end(rest);                               \
    }                                             \
    if (Creates(flags)) Point();                  \
    return REAL(name) args;                       \
  }
OPEN(open, (const char* path, int flags, ...), (path, flags, mode))
OPEN(open64, (const char* path, int flags, ...), (path, flags, mode))
OPEN(openat, (int dir, const char* path, int flags, ...), (dir, path, flags, mode))

FILE* fopen(const char* path, const char* mode) {
  if (strpbrk(mode, "wa+") != NULL) Point();
  return REAL(fopen)(path, mode);
}
FILE* fopen64(const char* path, const char* mode) {
  if (strpbrk(mode, "wa+") != NULL) Point();
  return REAL(fopen64)(path, mode);
}
int fclose(FILE* stream) {
  PointIfFile(fileno(stream));
  return REAL(fclose)(stream);
}

/* A function that changes something: one point, then the real call. */
#define CHANGE(ret, name, params, args) \
  ret name params {                       \
    Point();                              \
    return REAL(name) args;               \
  }
/* The same for a write that counts only into a named regular file. */
#define WRITE(ret, name, params, args) \
  ret name params {                      \
    PointIfFile(fd);                     \
    return REAL(name) args;              \
  }

WRITE(ssize_t, write, (int fd, const void* b, size_t n), (fd, b, n))
WRITE(ssize_t, pwrite, (int fd, const void* b, size_t n, off_t o), (fd, b, n, o))
WRITE(ssize_t, pwrite64, (int fd, const void* b, size_t n, off64_t o), (fd, b, n, o))
WRITE(ssize_t, writev, (int fd, const struct iovec* v, int n), (fd, v, n))
CHANGE(ssize_t, sendfile, (int o, int i, off_t* at, size_t n), (o, i, at, n))
CHANGE(ssize_t, sendfile64, (int o, int i, off64_t* at, size_t n), (o, i, at, n))
CHANGE(ssize_t, copy_file_range,
       (int i, off64_t* ia, int o, off64_t* oa, size_t n, unsigned f), (i, ia, o, oa, n, f))
/* Also the image's: the inflating thread reserves and cuts it while the
   worker writes, so counting them would make a point's number depend on
   how the two threads interleave. */
WRITE(int, ftruncate, (int fd, off_t n), (fd, n))
WRITE(int, ftruncate64, (int fd, off64_t n), (fd, n))
WRITE(int, fallocate, (int fd, int m, off_t o, off_t n), (fd, m, o, n))
WRITE(int, fallocate64, (int fd, int m, off64_t o, off64_t n), (fd, m, o, n))
CHANGE(int, rename, (const char* a, const char* b), (a, b))
CHANGE(int, renameat, (int ad, const char* a, int bd, const char* b), (ad, a, bd, b))
CHANGE(int, renameat2, (int ad, const char* a, int bd, const char* b, unsigned f),
       (ad, a, bd, b, f))
CHANGE(int, link, (const char* a, const char* b), (a, b))
CHANGE(int, linkat, (int ad, const char* a, int bd, const char* b, int f), (ad, a, bd, b, f))
CHANGE(int, symlink, (const char* a, const char* b), (a, b))
CHANGE(int, unlink, (const char* p), (p))
CHANGE(int, unlinkat, (int d, const char* p, int f), (d, p, f))
CHANGE(int, remove, (const char* p), (p))
CHANGE(int, mkdir, (const char* p, mode_t m), (p, m))
CHANGE(int, mkdirat, (int d, const char* p, mode_t m), (d, p, m))
CHANGE(int, rmdir, (const char* p), (p))
CHANGE(int, fsync, (int fd), (fd))
CHANGE(int, fdatasync, (int fd), (fd))
CHANGE(int, syncfs, (int fd), (fd))
CHANGE(int, msync, (void* a, size_t n, int f), (a, n, f))
CHANGE(int, futimens, (int fd, const struct timespec t[2]), (fd, t))
CHANGE(int, utimensat, (int d, const char* p, const struct timespec t[2], int f), (d, p, t, f))
CHANGE(int, futimes, (int fd, const struct timeval t[2]), (fd, t))
CHANGE(int, fchmod, (int fd, mode_t m), (fd, m))
CHANGE(int, chmod, (const char* p, mode_t m), (p, m))
CHANGE(int, fchown, (int fd, uid_t u, gid_t g), (fd, u, g))
CHANGE(int, lchown, (const char* p, uid_t u, gid_t g), (p, u, g))
CHANGE(int, fsetxattr, (int fd, const char* n, const void* v, size_t s, int f), (fd, n, v, s, f))
CHANGE(int, mkostemp, (char* t, int f), (t, f))
CHANGE(int, mkstemp, (char* t), (t))
