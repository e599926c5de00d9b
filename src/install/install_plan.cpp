#include "install/install_plan.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <set>
#include <string>

#include "install/fs/file_system.h"
#include "kit/kit_archive.h"
#include "text/conversion.h"
#include "text/string_ops.h"

namespace veskp8 {
namespace {

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool MayWriteInto(const std::string& directory) {
  return access(directory.c_str(), W_OK | X_OK) == 0;
}

// True when `path` is a directory this process may write into, or when it is
// missing and its nearest existing ancestor is one (the missing levels can be
// created).
bool CanBeMadeOrWritten(std::string path) {
  path = WithoutTrailingSlashes(path);
  for (;;) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) && MayWriteInto(path);
    if (errno != ENOENT || path == "." || path == "/") return false;
    const std::size_t slash = path.rfind('/');
    path = slash == std::string::npos ? std::string(".")
           : slash == 0               ? std::string("/")
                                      : path.substr(0, slash);
  }
}

// Whether /proc/locks lists a FLOCK lock on device `device`, inode `inode`;
// -1 when the list cannot be read.
int ListedFlock(dev_t device, ino_t inode) {
  std::FILE* locks = std::fopen("/proc/locks", "re");
  if (locks == nullptr) return -1;
  char line[512];
  int found = 0;
  while (found == 0 && std::fgets(line, sizeof line, locks) != nullptr) {
    // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; waiters carry "->".
    char kind[16] = {};
    unsigned major = 0;
    unsigned minor = 0;
    std::uintmax_t listedInode = 0;
    if (std::sscanf(line, "%*d: %15s %*s %*s %*d %x:%x:%ju", kind, &major, &minor, &listedInode) ==
            4 &&
        std::string(kind) == "FLOCK" && major == major(device) && minor == minor(device) &&
        listedInode == static_cast<std::uintmax_t>(inode)) {
      found = 1;
    }
  }
  std::fclose(locks);
  return found;
}

class Planner {
 public:
  Planner(const KitArchive& kit, const WideString& target, UpToDateTest test)
      : m_kit(kit), m_target(target), m_test(test) {}

  InstallPlan Run() {
    if (!m_target.empty() && !Begin()) return std::move(m_plan);
    const std::vector<KitEntry>& entries = m_kit.entries();
    const WideString backslash(u"\\");
    const WideString slash(u"/");
    for (std::size_t index = 0; index < entries.size(); ++index) {
      WideString name = entries[index].name;
      ReplaceAll(name, backslash, slash);
      const WideString destination = m_target + name;
      const ResultCode code = PlanEntry(index, destination);
      if (code != kOk) {
        m_plan.result = code;
        m_plan.failedDestination = destination;
        m_plan.failedError = m_error;
        return std::move(m_plan);
      }
    }
    return std::move(m_plan);
  }

 private:
  // What InstallTransaction::Begin would meet.
  bool Begin() {
    NarrowString temp;
    if (!WideToLocaleChecked(GetTempDirectory(), temp) || !CanBeMadeOrWritten(temp.c_str())) {
      m_plan.result = kErrNotFound;
      return false;
    }
    NarrowString target;
    if (!WideToLocaleChecked(m_target, target)) {
      m_plan.result = kErrInvalidParameter;
      return false;
    }
    m_targetDir = WithoutTrailingSlashes(target.c_str());
    struct stat st {};
    if (stat(m_targetDir.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      m_existing.insert(m_targetDir);
      if (IsDirectoryLockedElsewhere(m_target)) {
        m_plan.result = kErrBusy;
        return false;
      }
      return true;
    }
    if (!CanBeMadeOrWritten(m_targetDir)) {
      m_plan.result = kErrNotFound;
      return false;
    }
    m_made.insert(m_targetDir);
    return true;
  }

  ResultCode PlanEntry(std::size_t index, const WideString& destination) {
    NarrowString native;
    if (!WideToLocaleChecked(destination, native)) return kErrInvalidParameter;
    const std::string path(native.c_str());
    if (m_made.contains(path)) return Fail(kErrInvalidParameter, EISDIR);  // a directory of this run
    PlannedAction action = PlannedAction::kNew;
    switch (m_judge.Judge(m_kit, index, destination, m_test)) {
      case DestinationVerdict::kUpToDate:
        ++m_plan.counts.unchanged;
        return kOk;
      case DestinationVerdict::kInTheWay: {
        // The reason the installation gives: what stands there.
        const int lookError = errno;
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0) return Fail(kErrInvalidParameter, lookError);
        return Fail(kErrInvalidParameter, S_ISDIR(st.st_mode) ? EISDIR : EEXIST);
      }
      case DestinationVerdict::kOutdated:
        action = PlannedAction::kReplace;
        break;
      case DestinationVerdict::kMissing:
        break;
    }
    const std::size_t lastSlash = path.rfind('/');
    if (lastSlash != std::string::npos && lastSlash != 0) {
      const std::string parent = path.substr(0, lastSlash);
      const ResultCode code = PlanDirectory(parent);
      if (code != kOk) return code;
      if (!m_made.contains(parent) && !MayWriteInto(parent)) {
        return Fail(kErrInvalidParameter, EACCES);
      }
    }
    m_written.insert(path);
    ++(action == PlannedAction::kNew ? m_plan.counts.newFiles : m_plan.counts.replaced);
    m_plan.changes.push_back({index, destination, action});
    return kOk;
  }

  // InstallTransaction::EnsureDirectory(directory), level by level.
  ResultCode PlanDirectory(const std::string& directory) {
    if (m_existing.contains(directory) || m_made.contains(directory)) return kOk;
    if (m_written.contains(directory)) return Fail(kErrNotFound, ENOTDIR);  // a file of this run
    struct stat st {};
    if (stat(directory.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) return Fail(kErrNotFound, ENOTDIR);
      m_existing.insert(directory);
      return kOk;
    }
    if (errno != ENOENT) return Fail(kErrNotFound, errno);
    const std::size_t slash = directory.rfind('/');
    if (slash == std::string::npos || slash == 0) return kErrNoParent;
    const std::string parent = directory.substr(0, slash);
    const ResultCode code = PlanDirectory(parent);
    if (code != kOk) return code;
    if (!m_made.contains(parent) && !MayWriteInto(parent)) return Fail(kErrNotFound, EACCES);
    m_made.insert(directory);
    return kOk;
  }

  // `code`, with the reason the installation would give for it.
  ResultCode Fail(ResultCode code, int systemError) {
    m_error = systemError;
    return code;
  }

  const KitArchive& m_kit;
  const WideString& m_target;
  int m_error = 0;
  UpToDateTest m_test;
  DestinationJudge m_judge;
  InstallPlan m_plan;
  std::string m_targetDir;
  std::set<std::string> m_existing;  // directories found on disk
  std::set<std::string> m_made;      // directories the run would create
  std::set<std::string> m_written;   // files the run would write
};

}  // namespace

bool CanCreateOrWriteDirectory(const WideString& directory) {
  NarrowString native;
  return WideToLocaleChecked(directory, native) && !native.empty() &&
         CanBeMadeOrWritten(native.c_str());
}

bool IsDirectoryLockedElsewhere(const WideString& directory) {
  NarrowString native;
  if (!WideToLocaleChecked(directory, native)) return false;
  const int fd = open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool locked = false;
  if (fstat(fd, &st) == 0) {
    const int listed = ListedFlock(st.st_dev, st.st_ino);
    if (listed >= 0) {
      locked = listed == 1;
    } else {
      // No /proc: try the lock and let it go at once.
      int rc;
      while ((rc = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
      }
      locked = rc != 0 && errno == EWOULDBLOCK;
    }
  }
  close(fd);
  return locked;
}

InstallPlan PlanInstallation(const KitArchive& kit, const WideString& target, UpToDateTest test) {
  return Planner(kit, target, test).Run();
}

}  // namespace veskp8
