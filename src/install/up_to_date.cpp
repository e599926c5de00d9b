#include "install/up_to_date.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "install/fs/file_time.h"
#include "kit/kit_archive.h"
#include "text/conversion.h"

namespace veskp8 {
namespace {

constexpr std::size_t kCompareBlock = 64 * 1024;

// `seconds` cut down to a multiple of `step` (also before 1970).
std::int64_t CutToStep(std::int64_t seconds, int step) {
  const std::int64_t rest = ((seconds % step) + step) % step;
  return seconds - rest;
}

// Reads up to `size` bytes at `offset`, retrying interrupted and short reads;
// the count read (short only at the end of the file), or -1.
ssize_t ReadAt(int fd, unsigned char* buffer, std::size_t size, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = pread(fd, buffer + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

// The file a destination names, opened for reading with links followed,
// without blocking on a FIFO; -1 when it cannot be.
int OpenFollowing(const NarrowString& path) {
  return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

// The file-system type that /proc/self/mountinfo gives for device
// `major`:`minor`; empty when it is not listed or cannot be read.
std::string MountTypeOf(unsigned major, unsigned minor) {
  std::FILE* table = std::fopen("/proc/self/mountinfo", "re");
  if (table == nullptr) return std::string();
  const std::string device = std::to_string(major) + ":" + std::to_string(minor) + " ";
  std::string type;
  char buffer[4096];
  while (type.empty() && std::fgets(buffer, sizeof buffer, table) != nullptr) {
    // "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw"
    const std::string line(buffer);
    const std::size_t third = line.find(' ', line.find(' ') + 1);
    if (third == std::string::npos || line.compare(third + 1, device.size(), device) != 0) continue;
    const std::size_t dash = line.find(" - ");
    if (dash == std::string::npos) continue;
    const std::size_t end = line.find(' ', dash + 3);
    type = line.substr(dash + 3, end == std::string::npos ? std::string::npos : end - dash - 3);
  }
  std::fclose(table);
  return type;
}

bool IsFatMountType(const std::string& type) {
  return type == "vfat" || type == "msdos" || type == "fuse.fusefat";
}

}  // namespace

int FileTimeStepSeconds(const char* path) {
  struct statfs info {};
  if (statfs(path, &info) != 0) return 1;
  if (info.f_type == MSDOS_SUPER_MAGIC) return 2;
  if (info.f_type != FUSE_SUPER_MAGIC) return 1;
  // A FAT file system served through FUSE: its type is in the mount table.
  struct stat st {};
  if (stat(path, &st) != 0) return 1;
  return IsFatMountType(MountTypeOf(major(st.st_dev), minor(st.st_dev))) ? 2 : 1;
}

bool IsAtLeastAsNew(std::int64_t fileSeconds, std::uint64_t entryTicks, int stepSeconds) {
  return CutToStep(fileSeconds, stepSeconds) >=
         CutToStep(TicksToUnixSeconds(entryTicks), stepSeconds);
}

bool IsSameTime(std::int64_t fileSeconds, std::uint64_t entryTicks, int stepSeconds) {
  return CutToStep(fileSeconds, stepSeconds) ==
         CutToStep(TicksToUnixSeconds(entryTicks), stepSeconds);
}

DestinationJudge::DestinationJudge() = default;

DestinationJudge::~DestinationJudge() = default;

int DestinationJudge::StepOf(std::uint64_t device, const char* path) {
  const auto known = m_steps.find(device);
  if (known != m_steps.end()) return known->second;
  const int step = FileTimeStepSeconds(path);
  m_steps.emplace(device, step);
  return step;
}

bool DestinationJudge::SameBytes(const KitArchive& kit, std::size_t index, int fd) {
  const KitEntry& entry = kit.entries()[index];
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::uint64_t>(st.st_size) != entry.dataSize) {
    return false;
  }
  if (!m_buffer) m_buffer.reset(new unsigned char[2 * kCompareBlock]);
  unsigned char* const mine = m_buffer.get();
  unsigned char* const theirs = mine + kCompareBlock;
  std::uint64_t done = 0;
  while (done < entry.dataSize) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(kCompareBlock, entry.dataSize - done));
    if (ReadAt(kit.imageHandle(), theirs, want, entry.dataOffset + done) !=
            static_cast<ssize_t>(want) ||
        ReadAt(fd, mine, want, done) != static_cast<ssize_t>(want) ||
        std::memcmp(mine, theirs, want) != 0) {
      return false;
    }
    done += want;
  }
  // Nothing beyond the entry's bytes (the file may have grown meanwhile).
  unsigned char probe = 0;
  return ReadAt(fd, &probe, 1, done) == 0;
}

DestinationVerdict DestinationJudge::Judge(const KitArchive& kit, std::size_t index,
                                           const WideString& destination, UpToDateTest test) {
  NarrowString path;
  if (!WideToLocaleChecked(destination, path)) return DestinationVerdict::kInTheWay;
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? DestinationVerdict::kMissing
                                               : DestinationVerdict::kInTheWay;
  }
  if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return DestinationVerdict::kInTheWay;
  const KitEntry& entry = kit.entries()[index];
  if (test == UpToDateTest::kTime && S_ISREG(st.st_mode)) {
    return IsAtLeastAsNew(st.st_mtim.tv_sec, entry.modificationTime,
                          StepOf(static_cast<std::uint64_t>(st.st_dev), path.c_str()))
               ? DestinationVerdict::kUpToDate
               : DestinationVerdict::kOutdated;
  }
  // A link (followed for this test only), or the content test.
  const int fd = OpenFollowing(path);
  if (fd < 0) return DestinationVerdict::kOutdated;
  struct stat target {};
  bool upToDate = fstat(fd, &target) == 0 && S_ISREG(target.st_mode);
  if (upToDate) {
    upToDate =
        test == UpToDateTest::kContent
            ? SameBytes(kit, index, fd)
            : IsAtLeastAsNew(target.st_mtim.tv_sec, entry.modificationTime,
                             StepOf(static_cast<std::uint64_t>(target.st_dev), path.c_str()));
  }
  close(fd);
  return upToDate ? DestinationVerdict::kUpToDate : DestinationVerdict::kOutdated;
}

DestinationMatch DestinationJudge::Compare(const KitArchive& kit, std::size_t index,
                                           const WideString& destination) {
  NarrowString path;
  if (!WideToLocaleChecked(destination, path)) return DestinationMatch::kMissing;
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return DestinationMatch::kMissing;
  const int fd = OpenFollowing(path);
  if (fd < 0) return DestinationMatch::kModified;  // there, but its bytes cannot be read
  const bool same = SameBytes(kit, index, fd);
  close(fd);
  if (!same) return DestinationMatch::kModified;
  return IsSameTime(st.st_mtim.tv_sec, kit.entries()[index].modificationTime,
                    StepOf(static_cast<std::uint64_t>(st.st_dev), path.c_str()))
             ? DestinationMatch::kSame
             : DestinationMatch::kTimeDiffers;
}

}  // namespace veskp8
