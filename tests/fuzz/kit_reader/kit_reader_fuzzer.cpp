// Fuzzes opening a kit file: inflate into a temporary image, read the tables.
// Input: the raw kit file bytes. An accepted kit must pass CheckAcceptedKit;
// no image file may ever have a name in the temporary directory, and after
// every run no descriptor may be left open.
#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kit/kit_archive.h"
#include "kit_check.h"
#include "text/conversion.h"

namespace {

std::string g_directory;
std::string g_kitPath;

bool ImageLeft() {
  DIR* d = opendir((g_directory + "/tmp").c_str());
  if (d == nullptr) return false;
  bool found = false;
  while (dirent* e = readdir(d)) found = found || std::strncmp(e->d_name, "edf", 3) == 0;
  closedir(d);
  return found;
}

void RemoveWorkDirectory() {
  unlink(g_kitPath.c_str());
  rmdir((g_directory + "/tmp").c_str());
  rmdir(g_directory.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char templ[] = "/tmp/kit-reader-fuzz.XXXXXX";
  if (mkdtemp(templ) == nullptr) std::abort();
  g_directory = templ;
  g_kitPath = g_directory + "/kit.efd";
  if (mkdir((g_directory + "/tmp").c_str(), 0700) != 0) std::abort();
  setenv("TMPDIR", (g_directory + "/tmp").c_str(), 1);
  std::atexit(RemoveWorkDirectory);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int fd = open(g_kitPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) std::abort();
  if (size != 0 && write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
  close(fd);
  {
    veskp8::KitArchive kit;
    const veskp8::ResultCode rc = veskp8::OpenKit(kit, veskp8::LocaleToWide(g_kitPath.c_str()));
    if (ImageLeft()) std::abort();  // the image never has a name
    if (rc == veskp8::kOk) {
      veskp8::CheckAcceptedKit(kit, kit.imageHandle());
    } else if (ImageLeft() || kit.imageHandle() != -1 || !kit.entries().empty()) {
      std::abort();  // a failed open leaves nothing behind
    }
  }
  if (ImageLeft()) std::abort();
  return 0;
}
