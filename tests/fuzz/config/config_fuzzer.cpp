// Load + Save of launcher configuration files: any bytes load without a
// fault, and a loaded table that is saved and loaded again is the same table
// (same keys, values and order); saving that table again gives the same bytes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "launcher_config/config_table.h"
#include "text/conversion.h"

namespace {

std::string g_directory;

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "config_fuzzer: %s\n", what);
    std::abort();
  }
}

std::string ReadBytes(const std::string& path) {
  std::string out;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  Check(fd >= 0, "cannot reopen a saved file");
  char buffer[65536];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) out.append(buffer, n);
  close(fd);
  return out;
}

void WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  Check(fd >= 0, "cannot write the input file");
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    Check(n > 0, "cannot write the input file");
    data += n;
    size -= static_cast<size_t>(n);
  }
  close(fd);
}

void RemoveWorkFiles() {
  for (const char* name : {"/input.cfg", "/first.cfg", "/second.cfg"}) {
    unlink((g_directory + name).c_str());
  }
  rmdir(g_directory.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("LC_ALL", "en_US.UTF-8", 1);
  // A RAM file system keeps the fsync of every save cheap.
  struct stat status;
  std::string base =
      stat("/dev/shm", &status) == 0 && S_ISDIR(status.st_mode) ? "/dev/shm" : "/tmp";
  std::string pattern = base + "/veskp8-config-fuzz-XXXXXX";
  Check(mkdtemp(pattern.data()) != nullptr, "mkdtemp failed");
  g_directory = pattern;
  std::atexit(RemoveWorkFiles);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using veskp8::ConfigTable;
  using veskp8::LoadOutcome;
  const std::string input = g_directory + "/input.cfg";
  const std::string first = g_directory + "/first.cfg";
  const std::string second = g_directory + "/second.cfg";
  WriteBytes(input, data, size);

  ConfigTable table;
  const LoadOutcome outcome = veskp8::Load(veskp8::LocaleToWide(input.c_str()), table);
  const bool has_zero = std::memchr(data, 0, size) != nullptr;
  Check(outcome == (has_zero ? LoadOutcome::kStoppedAtZero : LoadOutcome::kLoaded),
        "unexpected load outcome");
  for (const auto& entry : table.m_entries) {
    Check(!entry.m_values.empty(), "loaded entry without values");
    Check(!(entry.m_key.empty() && entry.m_values.size() == 1 && entry.m_values[0].empty()),
          "empty line loaded as an entry");
  }

  veskp8::Save(veskp8::LocaleToWide(first.c_str()), table);
  ConfigTable again;
  Check(veskp8::Load(veskp8::LocaleToWide(first.c_str()), again) == LoadOutcome::kLoaded,
        "saved file does not load whole");
  Check(again == table, "saved table loads back differently");

  veskp8::Save(veskp8::LocaleToWide(second.c_str()), again);
  Check(ReadBytes(first) == ReadBytes(second), "saving the reloaded table changes the bytes");
  return 0;
}
