// veskp8-bench-journal: runs the installation job outside the wizard with or
// without its journal, for the benchmarks. Opens the kit (inflating it into
// $TMPDIR as the installer does), then runs one InstallEngine job into TARGET
// with no final pause, and prints the durations (monotonic clock, CPU time):
//
//   open_ms=<kit open> job_ms=<job, durability pass included>
//   job_cpu_ms=<the process's CPU time during the job> entries=<N> result=<code>
//   syncs=<journal syncs>
//
//   veskp8-bench-journal KIT TARGET [--journal | --journal-cut]
//   veskp8-bench-journal --recover
//
// --journal: the job writes its journal (below $HOME/.veskp8/journal), as the
// installer does. --journal-cut: the same, but the process ends at once
// (_exit) when every entry is written, before the commit, leaving the journal
// and the backups for a recovery. --recover: runs the start-up recovery and
// prints recover_ms=<time> notices=<N> restored=<1 when all were restored>.
//
// Between the two steps the image's dirty pages are flushed (sync, not
// timed), so the job's durability pass flushes only what the job wrote.
//
// Exit status 0 when both steps succeeded, 1 otherwise, 2 on wrong usage.
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "install/install_engine.h"
#include "install/install_journal.h"
#include "setup/journal_recovery.h"
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
double CpuMs() { return ClockMs(CLOCK_PROCESS_CPUTIME_ID); }

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--recover") == 0) {
    const double start = NowMs();
    const veskp8::RecoveryOutcome outcome = veskp8::RecoverInterruptedInstallations();
    const double ms = NowMs() - start;
    bool restored = !outcome.notices.empty();
    for (const auto& notice : outcome.notices) {
      restored = restored && notice.result == veskp8::RecoveryResult::kRestored;
    }
    std::printf("recover_ms=%.3f notices=%zu restored=%d\n", ms, outcome.notices.size(),
                restored ? 1 : 0);
    return restored ? 0 : 1;
  }
  const bool journalled = argc == 4 && (std::strcmp(argv[3], "--journal") == 0 ||
                                        std::strcmp(argv[3], "--journal-cut") == 0);
  const bool cut = journalled && std::strcmp(argv[3], "--journal-cut") == 0;
  if (argc != 3 && !journalled) {
    std::fputs(
        "usage: veskp8-bench-journal KIT TARGET [--journal | --journal-cut]\n"
        "       veskp8-bench-journal --recover\n",
        stderr);
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
  veskp8::InstallJournal journal;
  if (journalled) options.journal = &journal;
  const std::size_t entries = kit.entries().size();
  double jobStart = 0;
  if (cut) {
    options.stepHook = [&](veskp8::InstallStep step, std::size_t, const veskp8::WideString&) {
      if (step == veskp8::InstallStep::kCommit) {
        std::printf("open_ms=%.3f job_ms=%.3f job_cpu_ms=0 entries=%zu result=0 syncs=%llu\n",
                    openMs, NowMs() - jobStart, entries,
                    static_cast<unsigned long long>(journal.syncCount()));
        std::fflush(stdout);
        _exit(0);  // as a kill would end it: journal and backups stay
      }
      return veskp8::kOk;
    };
  }
  veskp8::InstallEngine engine(options);
  jobStart = NowMs();
  const double cpuStart = CpuMs();
  const veskp8::ResultCode result = engine.RunJob(channel);
  const double cpuMs = CpuMs() - cpuStart;
  const double jobMs = NowMs() - jobStart;
  if (journalled) journal.Finish();  // registration is not part of the job
  std::printf("open_ms=%.3f job_ms=%.3f job_cpu_ms=%.3f entries=%zu result=%d syncs=%llu\n", openMs,
              jobMs, cpuMs, entries, result, static_cast<unsigned long long>(journal.syncCount()));
  return result == veskp8::kOk ? 0 : 1;
}
