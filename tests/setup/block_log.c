// block_log: reads a log of block_log_fs, and keeps a disk busy.
//
//   block_log list LOG
//       one line per record: its index (from 0), its type (write, flush,
//       zero), the log's length up to its end in bytes, and its disk
//   block_log apply LOG IMAGE FROM TO [DISK]
//       applies those of the records FROM .. TO-1 that concern DISK (N of
//       "diskN", default 0) to IMAGE, in order
//   block_log tick FILE MICROSECONDS
//       appends a line to FILE and fsyncs it, again and again with the
//       given pause, until killed: the other programs of a live machine,
//       whose syncs commit the file system's journal at any moment
//
// Exit status: 0 done, 1 failure (reason on stderr), 2 wrong usage.
#define _GNU_SOURCE

#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

struct LogHeader {
  uint32_t type;
  uint32_t disk;
  uint64_t offset;
  uint64_t length;
};

static const char* TypeName(uint32_t type) {
  switch (type) {
    case 1:
      return "write";
    case 2:
      return "flush";
    case 3:
      return "zero";
  }
  return "?";
}

// Reads the next header; 1 read, 0 at the end (also a torn last record), -1 error.
static int NextHeader(FILE* log, struct LogHeader* header) {
  const size_t n = fread(header, sizeof *header, 1, log);
  if (n != 1) return ferror(log) ? -1 : 0;
  if (header->type < 1 || header->type > 3) {
    fprintf(stderr, "block_log: bad record type %u\n", header->type);
    return -1;
  }
  return 1;
}

static int CopyData(FILE* log, int image, const struct LogHeader* header) {
  static char buffer[1 << 20];
  uint64_t done = 0;
  while (done < header->length) {
    size_t chunk = sizeof buffer;
    if (header->length - done < chunk) chunk = (size_t)(header->length - done);
    if (fread(buffer, 1, chunk, log) != chunk) return -1;
    if (pwrite(image, buffer, chunk, (off_t)(header->offset + done)) != (ssize_t)chunk) return -1;
    done += chunk;
  }
  return 0;
}

static int Zero(int image, const struct LogHeader* header) {
  if (fallocate(image, FALLOC_FL_KEEP_SIZE | FALLOC_FL_PUNCH_HOLE, (off_t)header->offset,
                (off_t)header->length) == 0)
    return 0;
  static const char zeros[65536];
  uint64_t done = 0;
  while (done < header->length) {
    size_t chunk = sizeof zeros;
    if (header->length - done < chunk) chunk = (size_t)(header->length - done);
    if (pwrite(image, zeros, chunk, (off_t)(header->offset + done)) != (ssize_t)chunk) return -1;
    done += chunk;
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 3 && strcmp(argv[1], "list") == 0) {
    FILE* log = fopen(argv[2], "rb");
    if (log == NULL) {
      perror(argv[2]);
      return 1;
    }
    struct LogHeader header;
    long index = 0;
    int rc;
    while ((rc = NextHeader(log, &header)) == 1) {
      const uint64_t data = header.type == 1 ? header.length : 0;
      if (fseeko(log, (off_t)data, SEEK_CUR) != 0) return 1;
      printf("%ld %s %lld %u\n", index++, TypeName(header.type), (long long)ftello(log),
             header.disk);
    }
    return rc < 0 ? 1 : 0;
  }
  if ((argc == 6 || argc == 7) && strcmp(argv[1], "apply") == 0) {
    FILE* log = fopen(argv[2], "rb");
    const int image = open(argv[3], O_WRONLY);
    if (log == NULL || image < 0) {
      perror(log == NULL ? argv[2] : argv[3]);
      return 1;
    }
    const long from = atol(argv[4]);
    const long to = atol(argv[5]);
    const uint32_t disk = argc == 7 ? (uint32_t)atol(argv[6]) : 0;
    struct LogHeader header;
    for (long index = 0; index < to; ++index) {
      const int rc = NextHeader(log, &header);
      if (rc != 1) {
        fprintf(stderr, "block_log: the log ends at record %ld\n", index);
        return 1;
      }
      const uint64_t data = header.type == 1 ? header.length : 0;
      if (index < from || header.disk != disk) {
        if (fseeko(log, (off_t)data, SEEK_CUR) != 0) return 1;
        continue;
      }
      if ((header.type == 1 && CopyData(log, image, &header) != 0) ||
          (header.type == 3 && Zero(image, &header) != 0)) {
        fprintf(stderr, "block_log: record %ld: %s\n", index, strerror(errno));
        return 1;
      }
    }
    return close(image) == 0 ? 0 : 1;
  }
  if (argc == 4 && strcmp(argv[1], "tick") == 0) {
    const int fd = open(argv[2], O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd < 0) {
      perror(argv[2]);
      return 1;
    }
    const useconds_t pause = (useconds_t)atol(argv[3]);
    for (unsigned long i = 0;; ++i) {
      char line[32];
      const int n = snprintf(line, sizeof line, "%lu\n", i);
      if (write(fd, line, (size_t)n) != n || fsync(fd) != 0) {
        perror(argv[2]);
        return 1;
      }
      usleep(pause);
    }
  }
  fprintf(stderr, "usage: block_log list LOG | apply LOG IMAGE FROM TO [DISK] | tick FILE MICROSECONDS\n");
  return 2;
}
