#include "setup/quiet_run.h"

#include <string>

#include "install/install_outcome.h"
#include "setup/journal_recovery.h"
#include "install/fs/stop_signals.h"
#include "resources/resource_table.h"
#include "setup/setup_sequence.h"
#include "text/conversion.h"
#include "text/string_ops.h"

namespace veskp8 {
namespace {

// One failure line: the text, then the path when there is one.
void ReportFailure(std::FILE* err, const NarrowString& text, const WideString& path) {
  NarrowString line = text;
  if (!path.empty()) {
    line += " ";
    line += WideToLocale(path);
  }
  line += "\n";
  std::fputs(line.c_str(), err);
  std::fflush(err);
}

// `text` on one line: its lines (a list of files has one per line) joined by
// "; ", or by a space after a line that ends a sentence.
WideString OneLine(const WideString& text) {
  WideString line;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(u'\n', start);
    if (end == WideString::npos) end = text.size();
    if (end > start) {
      if (!line.empty()) line += line.ends_with(u'.') || line.ends_with(u':') ? u" " : u"; ";
      line += text.substr(start, end - start);
    }
    start = end + 1;
  }
  return line;
}

// The line of a recovery notice: its text in the UI language, in English when
// the locale's encoding cannot write that (as ConsoleText does).
NarrowString RecoveryLine(const RecoveryNotice& notice) {
  NarrowString local;
  if (WideToLocaleChecked(OneLine(RecoveryMessage(notice)), local)) return local;
  // The recovery runs before the worker exists: this is still the only
  // thread, so the language may change for the one text.
  const int language = GetCurrentLanguage();
  SetCurrentLanguage(kEnglishLanguage);
  const WideString english = OneLine(RecoveryMessage(notice));
  SetCurrentLanguage(language);
  return WideToLocale(english);
}

// The text of a check that failed.
const char* CheckTextId(PreinstallResult result) {
  switch (result) {
    case PreinstallResult::kKitNotFound:
      return IDS_ERROR_NOSOURCE;
    case PreinstallResult::kNoTempSpace:
      return IDS_ERROR_NOSPACE;
    case PreinstallResult::kKitDamaged:
    case PreinstallResult::kStopped:
    case PreinstallResult::kReady:
      break;
  }
  return IDS_ERROR_DAMAGEDSOURCE;
}

int ExitStatusOfChecks(PreinstallResult result) {
  switch (result) {
    case PreinstallResult::kKitNotFound:
      return kExitKitNotFound;
    case PreinstallResult::kNoTempSpace:
      return kExitNoTempSpace;
    case PreinstallResult::kKitDamaged:
      return kExitKitDamaged;
    case PreinstallResult::kStopped:  // the process ends by the signal
    case PreinstallResult::kReady:
      break;
  }
  return kExitInstalled;
}

// The run itself. Returns the exit status; when a stop signal came the status
// does not matter (the caller ends the process by the signal). Every object of
// the run (kit image, worker) is gone when it returns.
int Run(const QuietRequest& request, std::FILE* out, std::FILE* err) {
  SetupSequence sequence(request.useCurrentDirectory);

  // One line about each installation an earlier process left unfinished;
  // when one could not be fully undone, nothing new is installed over it.
  const RecoveryOutcome recovery = sequence.RecoverInterruptedInstallations();
  for (const RecoveryNotice& notice : recovery.notices) {
    ReportFailure(err, RecoveryLine(notice), WideString());
  }
  if (recovery.anyIncomplete()) return kExitRecoveryIncomplete;
  if (StopRequested()) return kExitInstallFailed;

  // The checks' message is told here, as a line, in place of their box.
  const PreinstallResult checks = sequence.RunChecks([](const WideString&) {});
  if (checks == PreinstallResult::kStopped) return kExitInstallFailed;
  if (checks != PreinstallResult::kReady) {
    ReportFailure(err, ConsoleText(CheckTextId(checks)), sequence.CheckSubject(checks));
    return ExitStatusOfChecks(checks);
  }
  if (StopRequested()) return kExitInstallFailed;

  WideString target = sequence.targetDirectory();
  if (request.hasTargetDirectory) {
    target = request.targetDirectory;
    ReplaceAll(target, ForeignSeparator(), PathSeparator());
  }
  // The kit goes on inflating while it is installed. A failure that comes
  // before its verdict waits for it: a damaged kit is reported as the check
  // it fails, ahead of what comes after the checks.
  const auto kitVerdict = [&]() -> int {
    const PreinstallResult kit = sequence.CompleteKitCheck();
    if (kit == PreinstallResult::kReady || kit == PreinstallResult::kStopped) return kExitInstalled;
    ReportFailure(err, ConsoleText(CheckTextId(kit)), sequence.CheckSubject(kit));
    return ExitStatusOfChecks(kit);
  };
  if (!IsUsableQuietTarget(target)) {
    if (const int kit = kitVerdict(); kit != kExitInstalled) return kit;
    if (StopRequested()) return kExitInstallFailed;
    ReportFailure(err, ConsoleText(IDS_ERROR_NOTARGET), target);
    return kExitNoTarget;
  }
  sequence.SetTargetDirectory(target);

  InstallJobOptions options;
  options.pauseMilliseconds = 0;  // nobody reads a final status on a page
  if (!sequence.StartInstallation(std::move(options))) {
    if (const int kit = kitVerdict(); kit != kExitInstalled) return kit;
    ReportFailure(err, ConsoleText(IDS_INSTALL_ERROR), target);
    return kExitInstallFailed;
  }
  // A stop signal stops the job by itself (the process stop flag).
  const InstallReport& report = sequence.FinishInstallation();
  if (report.result != kOk) {
    if (StopSignal() != 0) return kExitInstallFailed;  // rolled back on request: no line
    const int status = ExitStatusOfFailedInstall(report);
    // A kit found damaged (or the temporary directory full) while the job
    // copied from it: the directory was rolled back; the kit's check tells.
    if (status != kExitRestoreIncomplete) {
      if (const int kit = kitVerdict(); kit != kExitInstalled) return kit;
      if (StopSignal() != 0) return kExitInstallFailed;
    }
    if (status == kExitRestoreIncomplete) {
      // The text names the kept backup directory itself.
      ReportFailure(err, ConsoleText(IDS_ROLLBACK_INCOMPLETE, report.keptBackup), WideString());
    } else if (status == kExitBusy) {
      ReportFailure(err, ConsoleText(IDS_INSTALL_BUSY), target);
    } else {
      ReportFailure(err, ConsoleText(IDS_INSTALL_ERROR),
                    report.failedDestination.empty() ? target : report.failedDestination);
    }
    return status;
  }

  // Installed: the launcher learns of it even when a stop signal came after
  // the last entry, so that the registration matches the directory.
  WideString failedFile;
  const bool registered = sequence.RegisterTarget(&failedFile);
  if (StopSignal() != 0) return kExitInstalled;
  if (!registered) ReportFailure(err, ConsoleText(IDS_ERROR_NOTREGISTERED), failedFile);
  std::fputs(SummaryLine(report.counts, registered, target).c_str(), out);
  std::fflush(out);
  return registered ? kExitInstalled : kExitNotRegistered;
}

}  // namespace

NarrowString ConsoleText(const char* id, const WideString& directory) {
  NarrowString local;
  if (WideToLocaleChecked(WithDirectory(LoadResourceString(id), directory), local)) return local;
  const TextSet& english = GetLanguageList().at(kEnglishLanguage).m_texts;
  const auto text = english.find(std::string_view(id));
  if (text == english.end()) return NarrowString();
  // English is ASCII, representable in any locale; the directory is written
  // as every path on the console is.
  return WideToLocale(WithDirectory(LocaleToWide(text->second), directory));
}

bool IsUsableQuietTarget(const WideString& directory) {
  return !directory.empty() && directory[0] == u'/' &&
         directory.find(WideString(u"://")) == WideString::npos &&
         directory.find(u'\n') == WideString::npos && directory.find(u'\r') == WideString::npos;
}

int ExitStatusOfFailedInstall(const InstallReport& report) {
  if (report.result == kErrRollbackIncomplete || !report.restoredCompletely) {
    return kExitRestoreIncomplete;
  }
  return report.result == kErrBusy ? kExitBusy : kExitInstallFailed;
}

NarrowString SummaryLine(const InstallCounts& counts, bool registered, const WideString& target) {
  WideString shown = target;
  while (shown.size() > 1 && shown.back() == u'/') shown.erase(shown.size() - 1);
  std::string line = "new=" + std::to_string(counts.newFiles) +
                     " replaced=" + std::to_string(counts.replaced) +
                     " unchanged=" + std::to_string(counts.unchanged) +
                     " registered=" + (registered ? "yes" : "no") + " target=";
  NarrowString result(line.c_str());
  result += WideToLocale(shown);
  result += "\n";
  return result;
}

int RunQuietInstallation(const QuietRequest& request, std::FILE* out, std::FILE* err) {
  const int status = Run(request, out, err);
  if (StopSignal() != 0) {
    std::fflush(out);
    std::fflush(err);
    EndByStopSignal();
  }
  return status;
}

}  // namespace veskp8
