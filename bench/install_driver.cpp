// veskp8-bench-install: runs the installation job outside the wizard, for the
// benchmarks. Opens the kit (inflating it into $TMPDIR as the installer does),
// then runs one InstallEngine job into TARGET with no final pause, and prints
// the two durations measured with the monotonic clock:
//
//   open_ms=<kit open> job_ms=<job, durability pass included>
//   job_cpu_ms=<the process's CPU time during the job> entries=<N> result=<code>
//
//   veskp8-bench-install KIT TARGET
//
// Between the two steps the image's dirty pages are flushed (sync, not
// timed), so the job's durability pass flushes only what the job wrote.
//
// Exit status 0 when both steps succeeded, 1 otherwise, 2 on wrong usage.
#include <time.h>
#include <unistd.h>

#include <cstdio>

#include "install/install_engine.h"
#include "install/progress_channel.h"
#include "kit/kit_archive.h"
#include "text/conversion.h"

namespace {

double ClockMs(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double NowMs() { return ClockMs(CLOCK_MONOTONIC); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: veskp8-bench-install KIT TARGET\n", stderr);
    return 2;
  }
  veskp8::KitArchive kit;
  const double openStart = NowMs();
  const veskp8::ResultCode opened = veskp8::OpenKit(kit, veskp8::LocaleToWide(argv[1]));
  const double openMs = NowMs() - openStart;
  if (opened != veskp8::kOk) {
    std::printf("open_ms=%.3f job_ms=0 job_cpu_ms=0 entries=0 result=%d\n", openMs, opened);
    return 1;
  }

  sync();
  veskp8::ProgressChannel channel;
  channel.Start(&kit, veskp8::LocaleToWide(argv[2]));
  veskp8::InstallJobOptions options;
  options.pauseMilliseconds = 0;
  veskp8::InstallEngine engine(options);
  const double cpuStart = ClockMs(CLOCK_PROCESS_CPUTIME_ID);
  const double jobStart = NowMs();
  const veskp8::ResultCode result = engine.RunJob(channel);
  const double jobMs = NowMs() - jobStart;
  const double cpuMs = ClockMs(CLOCK_PROCESS_CPUTIME_ID) - cpuStart;
  std::printf("open_ms=%.3f job_ms=%.3f job_cpu_ms=%.3f entries=%zu result=%d\n", openMs, jobMs,
              cpuMs, kit.entries().size(), result);
  return result == veskp8::kOk ? 0 : 1;
}
