// veskp8-engine-driver: runs the installer's extraction job without the user
// interface, for the engine benchmark (bench/engine.sh).
//
//   veskp8-engine-driver KIT TARGET
//
// Opens KIT (inflating it into an image in TMPDIR), then runs the job into
// TARGET on the calling thread with the final pause set to 0, and prints one
// line: "open <seconds> job <seconds> code <result> cpu <seconds>" (cpu: user
// plus system time of the job). TMPDIR decides where the
// kit image and the backup directory go. Between the two, the image's dirty
// pages are flushed (sync, not timed), so that the job's durability pass
// flushes only what the job itself wrote. Exit status 0 when the job
// succeeded.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "install/install_engine.h"
#include "install/progress_channel.h"
#include "kit/kit_archive.h"
#include "text/conversion.h"

namespace {

// User plus system CPU seconds of this process so far.
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  using Clock = std::chrono::steady_clock;
  if (argc != 3) {
    std::fprintf(stderr, "usage: veskp8-engine-driver KIT TARGET\n");
    return 2;
  }
  veskp8::KitArchive kit;
  const auto start = Clock::now();
  const veskp8::ResultCode opened = veskp8::OpenKit(kit, veskp8::LocaleToWide(argv[1]));
  const auto openedAt = Clock::now();
  if (opened != veskp8::kOk) {
    std::fprintf(stderr, "veskp8-engine-driver: cannot open %s (code %d)\n", argv[1], opened);
    return 1;
  }
  sync();
  veskp8::ProgressChannel channel;
  channel.Start(&kit, veskp8::LocaleToWide(argv[2]));
  veskp8::InstallJobOptions options;
  options.pauseMilliseconds = 0;
  veskp8::InstallEngine engine(options);
  const double cpuStart = CpuSeconds();
  const auto jobStart = Clock::now();
  const veskp8::ResultCode code = engine.RunJob(channel);
  const auto done = Clock::now();
  const double cpu = CpuSeconds() - cpuStart;
  const std::chrono::duration<double> openSeconds = openedAt - start;
  const std::chrono::duration<double> jobSeconds = done - jobStart;
  std::printf("open %.3f job %.3f code %d cpu %.3f\n", openSeconds.count(), jobSeconds.count(),
              code, cpu);
  return code == veskp8::kOk ? 0 : 1;
}
