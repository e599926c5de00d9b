// The up-to-date decision: what stands at an entry's destination and whether
// an installation leaves it alone, replaces it or cannot go on. One decision
// for every user of it: the extraction job (InstallEngine) takes it while it
// installs, and the read-only planning pass (install_plan.h) takes the same
// one, so that a prediction is what the installation then does.
//
// Times are compared at the precision that was written and that the file
// system keeps: the installer writes whole seconds (the entry's tick time cut
// to seconds), and a FAT file system keeps modification times in steps of two
// seconds. A file is "at least as new" as an entry when its modification time
// cut to that step is not earlier than the entry's time cut to the same step,
// so the file the installer wrote counts as up to date on every later run,
// whatever sub-second part the entry's time has.
//
// Ownership and threads: a DestinationJudge is used by one thread at a time
// (the worker during an installation, the main thread for a plan or a
// verification); it owns a 128 KiB compare buffer (allocated at the first
// comparison of contents; std::bad_alloc when that fails) and a per-device
// cache of time steps. It reads the kit image with pread, so the image's file position
// is left alone. Not copyable.
//
// Failures: a destination that cannot be examined is never "up to date"; one
// whose kind is not known (lstat failed otherwise than with ENOENT/ENOTDIR,
// a path the locale cannot represent) is in the way, as a directory is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>

#include "text/wide_string.h"

namespace veskp8 {

class KitArchive;

// How the installation tells an up-to-date destination.
enum class UpToDateTest {
  kTime,     // at least as new as the entry (the installation)
  kContent,  // the same bytes as the entry, whatever its time (the repair)
};

// What stands at an entry's destination, for an installation.
enum class DestinationVerdict {
  kMissing,   // nothing (or a dangling path): the entry is written as a new file
  kUpToDate,  // a file (or a link to one) that is left alone
  kOutdated,  // a file or a symbolic link that is replaced (with its backup)
  kInTheWay,  // a directory, a special file, or not examinable: the entry fails
};

// What stands at an entry's destination, compared with the entry (verify).
enum class DestinationMatch {
  kMissing,      // no file there (nothing, a dangling link, a directory, ...)
  kModified,     // a file whose bytes differ (or that cannot be read)
  kTimeDiffers,  // the same bytes, a modification time that differs
  kSame,         // the same bytes and the same time
};

// The step in which the file system holding `path` keeps modification times,
// in seconds: 2 for FAT (statfs(2) says msdos or vfat; or a FUSE file system
// that /proc/self/mountinfo lists as fuse.fusefat), 1 for every other and
// when it cannot be asked.
[[nodiscard]] int FileTimeStepSeconds(const char* path);

// True when a file whose modification time is `fileSeconds` (Unix seconds)
// counts as at least as new as an entry of time `entryTicks`, at the step
// `stepSeconds` (see above).
[[nodiscard]] bool IsAtLeastAsNew(std::int64_t fileSeconds, std::uint64_t entryTicks,
                                  int stepSeconds);
// The same test for equality.
[[nodiscard]] bool IsSameTime(std::int64_t fileSeconds, std::uint64_t entryTicks, int stepSeconds);

class DestinationJudge {
 public:
  DestinationJudge();
  ~DestinationJudge();
  DestinationJudge(const DestinationJudge&) = delete;
  DestinationJudge& operator=(const DestinationJudge&) = delete;

  // The verdict for entry `index` of `kit` at `destination`: lstat decides
  // the kind (a link is not followed for that); a regular file or a link is
  // up to date when, followed (opened without blocking, so a link to a FIFO
  // cannot hang), it is a regular file that passes `test`.
  [[nodiscard]] DestinationVerdict Judge(const KitArchive& kit, std::size_t index,
                                         const WideString& destination, UpToDateTest test);

  // How the file at `destination` (links followed) compares with entry
  // `index` of `kit`: bytes first, then the time at the file system's step.
  [[nodiscard]] DestinationMatch Compare(const KitArchive& kit, std::size_t index,
                                         const WideString& destination);

 private:
  // The opened file `fd` holds exactly the entry's bytes.
  [[nodiscard]] bool SameBytes(const KitArchive& kit, std::size_t index, int fd);
  [[nodiscard]] int StepOf(std::uint64_t device, const char* path);

  std::unique_ptr<unsigned char[]> m_buffer;
  std::map<std::uint64_t, int> m_steps;
};

}  // namespace veskp8
