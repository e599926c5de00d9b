#include "launcher_config/directory_probe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

#include "text/conversion.h"
#include "text/narrow_string.h"

namespace veskp8 {
namespace {

void StripTrailingSlashes(std::string& path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
}

// Creates and removes a probe file inside the existing directory `path`.
bool ProbeDirectory(const std::string& path) {
  // A file without a name first: nothing ever appears in the directory, so
  // nothing can be left there (by a kill or a power loss between the
  // creation and the removal). Where the file system cannot make one, a
  // named probe.
  const int nameless = ::open(path.c_str(), O_WRONLY | O_TMPFILE | O_CLOEXEC, 0600);
  if (nameless >= 0) {
    ::close(nameless);
    return true;
  }
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return false;
  static std::atomic<unsigned> counter{0};
  std::string prefix = path;
  if (prefix != "/") prefix.push_back('/');
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[64];
    std::snprintf(name, sizeof name, ".veskp8-probe-%ld-%u", static_cast<long>(::getpid()),
                  counter.fetch_add(1));
    std::string probe = prefix;
    probe.append(name);
    int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    ::close(fd);
    return ::unlink(probe.c_str()) == 0;
  }
  return false;
}

}  // namespace

bool IsDirectoryWritable(const WideString& directory) {
  if (directory.empty()) return false;
  NarrowString narrow;
  if (!WideToLocaleChecked(directory, narrow) || narrow.empty()) return false;
  std::string path(narrow.view());
  StripTrailingSlashes(path);
  // Each pass goes one level up; a path of n bytes has fewer than n levels.
  for (std::size_t level = 0; level <= narrow.size() + 1; ++level) {
    struct stat status;
    if (::stat(path.c_str(), &status) == 0) {
      return S_ISDIR(status.st_mode) && ProbeDirectory(path);
    }
    if (errno != ENOENT) return false;
    if (path == "." || path == "/") return false;
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
      path.assign(1, '.');
    } else {
      path.resize(slash == 0 ? 1 : slash);
      StripTrailingSlashes(path);
    }
  }
  return false;
}

}  // namespace veskp8
