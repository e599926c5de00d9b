// Helpers for the launcher configuration tests: a temporary home directory,
// whole-file reads and writes, and running a step as an unprivileged user.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "text/wide_string.h"

namespace veskp8::testing {

// A fresh directory that serves as $HOME for one test (HomeDirectory() reads
// $HOME through wordexp). The former $HOME comes back and the tree is removed
// on destruction (permissions are restored first, so read-only parts go too).
class TempHome {
 public:
  TempHome();
  ~TempHome();
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;

  const std::string& path() const { return path_; }
  WideString wide() const;
  // path() + "/" + relative.
  std::string Join(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
  std::string old_home_;
  bool had_home_ = false;
};

// Wide form of an ASCII or UTF-8 text (the tests run in a UTF-8 locale).
WideString W(const std::string& text);
std::string N(const WideString& text);

bool FileExists(const std::string& path);
// Creates missing parent directories.
void WriteFileBytes(const std::string& path, const std::string& bytes);
// The whole file; "<missing>" when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// Names in `directory` (no "." and ".."), sorted.
std::vector<std::string> ListNames(const std::string& directory);

// Exit code of a RunUnprivileged child that could not drop its privileges
// (e.g. a container without the capability): the test must be skipped.
inline constexpr int kCannotDropPrivileges = 120;

// When running as root, hands the tree below `path` (and `path`) to nobody,
// so that an unprivileged child may own and use it. No-op otherwise.
void GiveToUnprivileged(const std::string& path);
// Runs `step` in a forked child that, when the process is root, first drops
// to uid/gid 65534 (nobody). Returns the child's exit code (the value `step`
// returned), or -1 when it did not exit normally.
int RunUnprivileged(const std::function<int()>& step);

}  // namespace veskp8::testing
