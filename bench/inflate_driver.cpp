// veskp8-bench-inflate: inflates a kit into an unnamed image in $TMPDIR with
// the chosen inflater, as the installer's kit reader does, and prints
//
//   inflater=<zlib|isal> inflate_ms=<wall> cpu_ms=<CPU> image_bytes=<n> result=<code>
//
//   veskp8-bench-inflate KIT [zlib|isal]
//
// The inflater defaults to the one the installer uses. Exit status 0 when the
// kit inflated, 1 otherwise, 2 on wrong usage.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kit/kit_inflate.h"

namespace {

double ClockMs(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fputs("usage: veskp8-bench-inflate KIT [zlib|isal]\n", stderr);
    return 2;
  }
  veskp8::InflateKitOptions options;
  if (argc == 3) {
    if (std::strcmp(argv[2], "zlib") == 0) {
      options.inflater = veskp8::InflaterKind::kZlib;
    } else if (std::strcmp(argv[2], "isal") == 0 && veskp8::IsalInflaterAvailable()) {
      options.inflater = veskp8::InflaterKind::kIsal;
    } else {
      std::fprintf(stderr, "veskp8-bench-inflate: no inflater %s\n", argv[2]);
      return 2;
    }
  }
  const char* tmp = std::getenv("TMPDIR");
  const int kit = open(argv[1], O_RDONLY | O_CLOEXEC);
  const int image = open(tmp != nullptr && *tmp ? tmp : "/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (kit < 0 || image < 0) {
    std::perror("veskp8-bench-inflate");
    return 1;
  }
  const double cpuStart = ClockMs(CLOCK_PROCESS_CPUTIME_ID);
  const double start = ClockMs(CLOCK_MONOTONIC);
  const veskp8::ResultCode rc = veskp8::InflateKit(kit, image, nullptr, options);
  const double wall = ClockMs(CLOCK_MONOTONIC) - start;
  const double cpu = ClockMs(CLOCK_PROCESS_CPUTIME_ID) - cpuStart;
  struct stat st {};
  fstat(image, &st);
  std::printf("inflater=%s inflate_ms=%.3f cpu_ms=%.3f image_bytes=%lld result=%d\n",
              veskp8::InflaterName(options.inflater), wall, cpu, static_cast<long long>(st.st_size),
              rc);
  close(kit);
  close(image);
  return rc == veskp8::kOk ? 0 : 1;
}
