#include "launcher_config/test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "text/conversion.h"

namespace veskp8::testing {
namespace {

constexpr uid_t kNobody = 65534;

// The conversions follow the environment's locale; every test runs in UTF-8.
const bool g_locale_set = [] {
  setenv("LC_ALL", "en_US.UTF-8", 1);
  return true;
}();

int MakeWritable(const char* path, const struct stat* status, int type, struct FTW*) {
  if (type == FTW_D || type == FTW_DNR || type == FTW_DP) chmod(path, 0700);
  (void)status;
  return 0;
}

int RemoveOne(const char* path, const struct stat*, int, struct FTW*) {
  remove(path);
  return 0;
}

int ChownOne(const char* path, const struct stat*, int, struct FTW*) {
  if (lchown(path, kNobody, kNobody) != 0) return -1;
  return 0;
}

}  // namespace

TempHome::TempHome() {
  (void)g_locale_set;
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/veskp8-cfg-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = buffer.data();
  if (const char* home = getenv("HOME")) {
    had_home_ = true;
    old_home_ = home;
  }
  setenv("HOME", path_.c_str(), 1);
}

TempHome::~TempHome() {
  nftw(path_.c_str(), MakeWritable, 16, FTW_PHYS);
  nftw(path_.c_str(), RemoveOne, 16, FTW_PHYS | FTW_DEPTH);
  if (had_home_) {
    setenv("HOME", old_home_.c_str(), 1);
  } else {
    unsetenv("HOME");
  }
}

WideString TempHome::wide() const { return W(path_); }

WideString W(const std::string& text) { return LocaleToWide(text.c_str()); }

std::string N(const WideString& text) {
  NarrowString narrow;
  if (!WideToLocaleChecked(text, narrow)) return "<unrepresentable>";
  return std::string(narrow.view());
}

bool FileExists(const std::string& path) {
  struct stat status;
  return lstat(path.c_str(), &status) == 0;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    mkdir(path.substr(0, slash).c_str(), 0777);
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::vector<std::string> ListNames(const std::string& directory) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(directory.c_str())) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void GiveToUnprivileged(const std::string& path) {
  if (geteuid() != 0) return;
  if (nftw(path.c_str(), ChownOne, 16, FTW_PHYS) != 0) {
    throw std::runtime_error("cannot hand " + path + " to nobody");
  }
}

int RunUnprivileged(const std::function<int()>& step) {
  pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (geteuid() == 0) {
      if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)
        _exit(kCannotDropPrivileges);
      // Keep /proc/self readable for the sanitizers after the change of user.
      prctl(PR_SET_DUMPABLE, 1);
    }
    int code = 121;
    try {
      code = step();
    } catch (...) {
      code = 122;
    }
    _exit(code);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace veskp8::testing
