/* Preloaded into the installer by the kill-at-every-change test: counts the
   calls that change a file system (creating, writing, truncating, reserving,
   renaming, linking, removing, syncing, changing times, modes or attributes)
   and stops the process just before call number VESKP8_KILL_AT with SIGKILL,
   or with SIGSTOP when VESKP8_STOP_AT names it instead (the test then looks
   at the stopped process's files and kills it). With VESKP8_KILL_COUNT the
   number of calls made is written to that file when the process exits
   normally. Writes to standard output and error, to anything that is not a
   regular file, and to files without a name, are not counted. Calls the C library makes internally (its
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

int open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (flags & (O_CREAT | __O_TMPFILE)) {
    va_list args;
    va_start(args, flags);
    mode = va_arg(args, mode_t);
    va_end(args);
  }
  if (Creates(flags)) Point();
  return REAL(open)(path, flags, mode);
}
int open64(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (flags & (O_CREAT | __O_TMPFILE)) {
    va_list args;
    va_start(args, flags);
    mode = va_arg(args, mode_t);
    va_end(args);
  }
  if (Creates(flags)) Point();
  return REAL(open64)(path, flags, mode);
}
int openat(int dir, const char* path, int flags, ...) {
  mode_t mode = 0;
  if (flags & (O_CREAT | __O_TMPFILE)) {
    va_list args;
    va_start(args, flags);
    mode = va_arg(args, mode_t);
    va_end(args);
  }
  if (Creates(flags)) Point();
  return REAL(openat)(dir, path, flags, mode);
}
int mkostemp(char* name, int flags) {
  Point();
  return REAL(mkostemp)(name, flags);
}
int mkstemp(char* name) {
  Point();
  return REAL(mkstemp)(name);
}
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

ssize_t write(int fd, const void* buffer, size_t count) {
  PointIfFile(fd);
  return REAL(write)(fd, buffer, count);
}
ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
  PointIfFile(fd);
  return REAL(pwrite)(fd, buffer, count, offset);
}
ssize_t pwrite64(int fd, const void* buffer, size_t count, off64_t offset) {
  PointIfFile(fd);
  return REAL(pwrite64)(fd, buffer, count, offset);
}
ssize_t writev(int fd, const struct iovec* vector, int count) {
  PointIfFile(fd);
  return REAL(writev)(fd, vector, count);
}
ssize_t sendfile(int out, int in, off_t* offset, size_t count) {
  Point();
  return REAL(sendfile)(out, in, offset, count);
}
ssize_t sendfile64(int out, int in, off64_t* offset, size_t count) {
  Point();
  return REAL(sendfile64)(out, in, offset, count);
}
ssize_t copy_file_range(int in, off64_t* inOffset, int out, off64_t* outOffset, size_t count,
                        unsigned flags) {
  Point();
  return REAL(copy_file_range)(in, inOffset, out, outOffset, count, flags);
}
int ftruncate(int fd, off_t length) {
  Point();
  return REAL(ftruncate)(fd, length);
}
int ftruncate64(int fd, off64_t length) {
  Point();
  return REAL(ftruncate64)(fd, length);
}
int fallocate(int fd, int mode, off_t offset, off_t length) {
  Point();
  return REAL(fallocate)(fd, mode, offset, length);
}
int fallocate64(int fd, int mode, off64_t offset, off64_t length) {
  Point();
  return REAL(fallocate64)(fd, mode, offset, length);
}

int rename(const char* from, const char* to) {
  Point();
  return REAL(rename)(from, to);
}
int renameat(int fromDir, const char* from, int toDir, const char* to) {
  Point();
  return REAL(renameat)(fromDir, from, toDir, to);
}
int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
  Point();
  return REAL(renameat2)(fromDir, from, toDir, to, flags);
}
int link(const char* from, const char* to) {
  Point();
  return REAL(link)(from, to);
}
int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
  Point();
  return REAL(linkat)(fromDir, from, toDir, to, flags);
}
int symlink(const char* target, const char* path) {
  Point();
  return REAL(symlink)(target, path);
}
int unlink(const char* path) {
  Point();
  return REAL(unlink)(path);
}
int unlinkat(int dir, const char* path, int flags) {
  Point();
  return REAL(unlinkat)(dir, path, flags);
}
int remove(const char* path) {
  Point();
  return REAL(remove)(path);
}
int mkdir(const char* path, mode_t mode) {
  Point();
  return REAL(mkdir)(path, mode);
}
int mkdirat(int dir, const char* path, mode_t mode) {
  Point();
  return REAL(mkdirat)(dir, path, mode);
}
int rmdir(const char* path) {
  Point();
  return REAL(rmdir)(path);
}

int fsync(int fd) {
  Point();
  return REAL(fsync)(fd);
}
int fdatasync(int fd) {
  Point();
  return REAL(fdatasync)(fd);
}
int syncfs(int fd) {
  Point();
  return REAL(syncfs)(fd);
}
int msync(void* address, size_t length, int flags) {
  Point();
  return REAL(msync)(address, length, flags);
}

int futimens(int fd, const struct timespec times[2]) {
  Point();
  return REAL(futimens)(fd, times);
}
int utimensat(int dir, const char* path, const struct timespec times[2], int flags) {
  Point();
  return REAL(utimensat)(dir, path, times, flags);
}
int futimes(int fd, const struct timeval times[2]) {
  Point();
  return REAL(futimes)(fd, times);
}
int fchmod(int fd, mode_t mode) {
  Point();
  return REAL(fchmod)(fd, mode);
}
int chmod(const char* path, mode_t mode) {
  Point();
  return REAL(chmod)(path, mode);
}
int fchown(int fd, uid_t owner, gid_t group) {
  Point();
  return REAL(fchown)(fd, owner, group);
}
int lchown(const char* path, uid_t owner, gid_t group) {
  Point();
  return REAL(lchown)(path, owner, group);
}
int fsetxattr(int fd, const char* name, const void* value, size_t size, int flags) {
  Point();
  return REAL(fsetxattr)(fd, name, value, size, flags);
}
