// Helpers for the file-system service tests: a temporary directory removed
// with everything below it, scoped environment variables and working
// directory, and small file utilities working on narrow paths.
#pragma once

#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "text/conversion.h"
#include "text/wide_string.h"

namespace veskp8::test {

inline WideString Wide(const std::string& narrow) { return LocaleToWide(narrow.c_str()); }

// A fresh directory below `parent`, removed (without following links) at the end.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& parent = "/tmp") {
    std::string pattern = parent + "/veskp8-fs-test-XXXXXX";
    const char* made = mkdtemp(pattern.data());
    if (made != nullptr) m_path = made;
  }
  ~ScratchDir() {
    if (m_path.empty()) return;
    // Make every directory writable again so that removal cannot fail.
    nftw(
        m_path.c_str(),
        [](const char* p, const struct stat* st, int type, struct FTW*) {
          if (type == FTW_D || type == FTW_DNR) chmod(p, (st->st_mode & 07777) | 0700);
          return 0;
        },
        16, FTW_PHYS);
    nftw(
        m_path.c_str(),
        [](const char* p, const struct stat*, int type, struct FTW*) {
          if (type == FTW_DP || type == FTW_DNR) {
            rmdir(p);
          } else {
            unlink(p);
          }
          return 0;
        },
        16, FTW_DEPTH | FTW_PHYS);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  bool ok() const { return !m_path.empty(); }
  const std::string& path() const { return m_path; }
  std::string operator/(const std::string& name) const { return m_path + "/" + name; }

 private:
  std::string m_path;
};

// Sets (or with nullopt unsets) an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : m_name(name) {
    if (const char* old = getenv(name)) m_old = old;
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (m_old) {
      setenv(m_name, m_old->c_str(), 1);
    } else {
      unsetenv(m_name);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* m_name;
  std::optional<std::string> m_old;
};

// Changes the working directory for one scope.
class ScopedCwd {
 public:
  explicit ScopedCwd(const std::string& dir) {
    char* old = getcwd(nullptr, 0);
    if (old != nullptr) {
      m_old = old;
      free(old);
    }
    m_ok = chdir(dir.c_str()) == 0;
  }
  ~ScopedCwd() {
    if (!m_old.empty()) (void)!chdir(m_old.c_str());
  }
  ScopedCwd(const ScopedCwd&) = delete;
  ScopedCwd& operator=(const ScopedCwd&) = delete;
  bool ok() const { return m_ok; }

 private:
  std::string m_old;
  bool m_ok = false;
};

inline bool WriteText(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  return static_cast<bool>(out);
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

inline bool IsDir(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

inline bool IsLink(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// A path that no locale can represent: a lone high surrogate.
inline WideString Unrepresentable(const std::string& prefix) {
  WideString w = Wide(prefix);
  w.push_back(static_cast<char16_t>(0xD800));
  return w;
}

}  // namespace veskp8::test
