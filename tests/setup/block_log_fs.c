// block_log_fs: a FUSE file system holding files "disk0", "disk1", ..., one
// per IMAGE, whose every write and every flush is appended to one log in the
// order they arrive, as the kernel's dm-log-writes target does for a block
// device. A loop device over MOUNTPOINT/diskN then gives a block device whose
// history can be replayed up to any point (block_log.c): the disks as a
// power cut at that moment would have left them.
//
//   block_log_fs LOG MOUNTPOINT IMAGE...
//
// Each IMAGE is a disk's starting content; it is written in place. LOG is
// created (truncated). Runs in the foreground, single-threaded, until the
// file system is unmounted or the process gets SIGTERM.
//
// Log records, native byte order: a header { u32 type; u32 disk; u64 offset;
// u64 length; } then, for a write, `length` bytes of data; disk is N of
// "diskN".
//   1 write    bytes written at offset
//   2 flush    everything before it is durable (an fsync of "disk": a loop
//              device turns a block-layer flush, and a forced-unit-access
//              write's flush, into one)
//   3 zero     `length` bytes at offset became zeros (discard, write-zeroes)
// Every record is in the log before the operation is answered, so the log's
// order is one in which the device completed them.
#define FUSE_USE_VERSION 31
#define _GNU_SOURCE

#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

enum { kWrite = 1, kFlush = 2, kZero = 3 };

struct LogHeader {
  uint32_t type;
  uint32_t disk;
  uint64_t offset;
  uint64_t length;
};

enum { kMaxDisks = 8 };
static int g_images[kMaxDisks];
static int g_disks = 0;
static int g_log = -1;

// N for "/diskN", -1 for any other path.
static int DiskOf(const char* path) {
  if (strncmp(path, "/disk", 5) != 0 || path[5] < '0' || path[5] >= '0' + g_disks ||
      path[6] != 0)
    return -1;
  return path[5] - '0';
}

static int WriteAll(int fd, const void* data, size_t size) {
  const char* p = data;
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -errno;
    }
    p += n;
    size -= (size_t)n;
  }
  return 0;
}

static int Log(uint32_t type, uint64_t disk, uint64_t offset, uint64_t length,
               const void* data) {
  const struct LogHeader header = {type, (uint32_t)disk, offset, length};
  int rc = WriteAll(g_log, &header, sizeof header);
  if (rc == 0 && data != NULL) rc = WriteAll(g_log, data, length);
  return rc;
}

static int DoGetattr(const char* path, struct stat* st, struct fuse_file_info* fi) {
  (void)fi;
  memset(st, 0, sizeof *st);
  if (strcmp(path, "/") == 0) {
    st->st_mode = S_IFDIR | 0755;
    st->st_nlink = 2;
    return 0;
  }
  const int disk = DiskOf(path);
  if (disk < 0) return -ENOENT;
  struct stat image;
  if (fstat(g_images[disk], &image) != 0) return -errno;
  st->st_mode = S_IFREG | 0600;
  st->st_nlink = 1;
  st->st_size = image.st_size;
  st->st_blocks = image.st_blocks;
  return 0;
}

static int DoReaddir(const char* path, void* buf, fuse_fill_dir_t fill, off_t offset,
                     struct fuse_file_info* fi, enum fuse_readdir_flags flags) {
  (void)offset;
  (void)fi;
  (void)flags;
  if (strcmp(path, "/") != 0) return -ENOENT;
  fill(buf, ".", NULL, 0, 0);
  fill(buf, "..", NULL, 0, 0);
  for (int disk = 0; disk < g_disks; ++disk) {
    char name[16];
    snprintf(name, sizeof name, "disk%d", disk);
    fill(buf, name, NULL, 0, 0);
  }
  return 0;
}

static int DoOpen(const char* path, struct fuse_file_info* fi) {
  const int disk = DiskOf(path);
  if (disk < 0) return -ENOENT;
  fi->fh = (uint64_t)disk;
  // Every read and write comes here, none stays in a page cache: the log
  // sees the device's own order.
  fi->direct_io = 1;
  fi->keep_cache = 0;
  return 0;
}

static int DoRead(const char* path, char* buf, size_t size, off_t offset,
                  struct fuse_file_info* fi) {
  (void)path;
  const ssize_t n = pread(g_images[fi->fh], buf, size, offset);
  return n < 0 ? -errno : (int)n;
}

static int DoWrite(const char* path, const char* buf, size_t size, off_t offset,
                   struct fuse_file_info* fi) {
  (void)path;
  const int rc = Log(kWrite, fi->fh, (uint64_t)offset, size, buf);
  if (rc != 0) return rc;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = pwrite(g_images[fi->fh], buf + done, size - done, offset + (off_t)done);
    if (n < 0) return -errno;
    done += (size_t)n;
  }
  return (int)size;
}

static int DoFsync(const char* path, int datasync, struct fuse_file_info* fi) {
  (void)path;
  (void)datasync;
  return Log(kFlush, fi->fh, 0, 0, NULL);
}

static int DoFallocate(const char* path, int mode, off_t offset, off_t length,
                       struct fuse_file_info* fi) {
  (void)path;
  if (!(mode & FALLOC_FL_KEEP_SIZE) || !(mode & (FALLOC_FL_PUNCH_HOLE | FALLOC_FL_ZERO_RANGE)))
    return -EOPNOTSUPP;
  const int rc = Log(kZero, fi->fh, (uint64_t)offset, (uint64_t)length, NULL);
  if (rc != 0) return rc;
  if (fallocate(g_images[fi->fh], FALLOC_FL_KEEP_SIZE | FALLOC_FL_PUNCH_HOLE, offset, length) != 0)
    return -errno;
  return 0;
}

static int DoTruncate(const char* path, off_t size, struct fuse_file_info* fi) {
  (void)fi;
  const int disk = DiskOf(path);
  if (disk < 0) return -ENOENT;
  struct stat image;
  if (fstat(g_images[disk], &image) != 0) return -errno;
  return size == image.st_size ? 0 : -EPERM;  // the disk keeps its size
}

static void* DoInit(struct fuse_conn_info* conn, struct fuse_config* cfg) {
  (void)conn;
  cfg->direct_io = 1;
  cfg->kernel_cache = 0;
  cfg->attr_timeout = 0;
  cfg->entry_timeout = 0;
  return NULL;
}

static const struct fuse_operations kOperations = {
    .getattr = DoGetattr,
    .truncate = DoTruncate,
    .open = DoOpen,
    .read = DoRead,
    .write = DoWrite,
    .fsync = DoFsync,
    .readdir = DoReaddir,
    .init = DoInit,
    .fallocate = DoFallocate,
};

int main(int argc, char** argv) {
  if (argc < 4 || argc - 3 > kMaxDisks) {
    fprintf(stderr, "usage: block_log_fs LOG MOUNTPOINT IMAGE...\n");
    return 2;
  }
  for (int i = 3; i < argc; ++i) {
    g_images[g_disks] = open(argv[i], O_RDWR | O_CLOEXEC);
    if (g_images[g_disks++] < 0) {
      perror(argv[i]);
      return 1;
    }
  }
  g_log = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
  if (g_log < 0) {
    perror(argv[1]);
    return 1;
  }
  char* fuseArgs[] = {argv[0], "-f", "-s", "-o", "fsname=block_log", argv[2], NULL};
  return fuse_main(6, fuseArgs, &kOperations, NULL);
}
