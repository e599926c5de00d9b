#include "setup/quiet_run.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "install/failure_reason.h"
#include "install/install_outcome.h"
#include "install/install_plan.h"
#include "install/up_to_date.h"
#include "setup/journal_recovery.h"
#include "install/fs/stop_signals.h"
#include "resources/resource_table.h"
#include "setup/setup_sequence.h"
#include "setup/target_space.h"
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

// A composed text for the console: `make` in the UI language, or in English
// when the locale's encoding cannot write that (as ConsoleText does). Only
// while no other thread looks texts up (before the worker, or after it).
NarrowString ConsoleLine(const std::function<WideString()>& make) {
  NarrowString local;
  if (WideToLocaleChecked(make(), local)) return local;
  const int language = GetCurrentLanguage();
  SetCurrentLanguage(kEnglishLanguage);
  const WideString english = make();
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
    case PreinstallResult::kSignatureRefused:  // a composed text, see Run
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
    case PreinstallResult::kSignatureRefused:
      return kExitSignatureRefused;
    case PreinstallResult::kStopped:  // the process ends by the signal
    case PreinstallResult::kReady:
      break;
  }
  return kExitInstalled;
}

// The summary's signer: the key id of a valid signature, else empty.
std::string SignedBy(const SignatureCheck& check) {
  return check.verdict == SignatureVerdict::kValid ? KeyIdText(check.keyId) : std::string();
}

// The destination of `name` below `directory` (the channel's "/" added).
WideString DestinationOf(const WideString& directory, const WideString& name) {
  WideString destination = directory;
  if (!destination.ends_with(u'/')) destination.push_back(u'/');
  WideString relative = name;
  ReplaceAll(relative, ForeignSeparator(), PathSeparator());
  return destination + relative;
}

// One line of a dry run or a verification: the word, then the path.
void PathLine(std::FILE* out, const char* word, const WideString& path) {
  NarrowString line(word);
  line += " ";
  line += ShellWord(WideToLocale(path));
  line += "\n";
  std::fputs(line.c_str(), out);
}

// The line and status of an installation that fails with `result` on
// `failedDestination` (empty: before the first entry) after its rollback.
int ReportFailedInstall(std::FILE* err, const InstallReport& report, const WideString& target) {
  const int status = ExitStatusOfFailedInstall(report);
  if (status == kExitRestoreIncomplete) {
    // The text names the kept backup directory itself.
    ReportFailure(err, ConsoleText(IDS_ROLLBACK_INCOMPLETE, report.keptBackup), WideString());
  } else if (status == kExitBusy) {
    ReportFailure(err, ConsoleText(IDS_INSTALL_BUSY), target);
  } else {
    // The path, then why it failed: "Installation error PATH: reason".
    const WideString& path = report.failedDestination.empty() ? target : report.failedDestination;
    NarrowString line = ConsoleText(IDS_INSTALL_ERROR);
    line += " ";
    line += WideToLocale(path);
    if (report.failedError != 0) {
      line += ": ";
      line += ConsoleLine([&] { return FailureReasonText(report.failedError); });
    }
    ReportFailure(err, line, WideString());
  }
  return status;
}

// --dry-run: the plan, told as the installation would tell its outcome.
int DryRun(const SetupSequence& sequence, const WideString& target, bool repair, std::FILE* out,
           std::FILE* err) {
  WideString directory = target;
  if (!directory.ends_with(u'/')) directory.push_back(u'/');
  const InstallPlan plan = PlanInstallation(sequence.kit(), directory,
                                            repair ? UpToDateTest::kContent : UpToDateTest::kTime);
  if (StopRequested()) return kExitInstallFailed;
  if (plan.result != kOk) {
    InstallReport report;
    report.ran = true;
    report.result = plan.result;
    report.failedDestination = plan.failedDestination;
    report.failedError = plan.failedError;
    return ReportFailedInstall(err, report, target);
  }
  for (const PlannedChange& change : plan.changes) {
    PathLine(out, change.action == PlannedAction::kNew ? "new" : "replace", change.destination);
  }
  const bool changed = !plan.changes.empty() || sequence.RegistrationWouldChange();
  std::fputs(SummaryLine(plan.counts, true, changed, SignedBy(sequence.signatureCheck()), target)
                 .c_str(),
             out);
  std::fflush(out);
  return changed ? kExitWouldChange : kExitInstalled;
}

// --verify: every entry against the file at its destination.
int Verify(const SetupSequence& sequence, const WideString& target, std::FILE* out) {
  DestinationJudge judge;
  bool differs = false;
  const std::vector<KitEntry>& entries = sequence.kit().entries();
  for (std::size_t index = 0; index < entries.size(); ++index) {
    if (StopRequested()) return kExitInstallFailed;
    const WideString destination = DestinationOf(target, entries[index].name);
    switch (judge.Compare(sequence.kit(), index, destination)) {
      case DestinationMatch::kSame:
        break;
      case DestinationMatch::kMissing:
        PathLine(out, "missing", destination);
        differs = true;
        break;
      case DestinationMatch::kModified:
        PathLine(out, "modified", destination);
        differs = true;
        break;
      case DestinationMatch::kTimeDiffers:
        PathLine(out, "touched", destination);
        break;
    }
  }
  std::fflush(out);
  return differs ? kExitVerifyDiffers : kExitInstalled;
}

// The run itself. Returns the exit status; when a stop signal came the status
// does not matter (the caller ends the process by the signal). Every object of
// the run (kit image, worker) is gone when it returns.
int Run(const QuietRequest& request, std::FILE* out, std::FILE* err) {
  SetupSequence sequence(request.useCurrentDirectory);
  // A dry run and a verification change nothing: no recovery, and no probe
  // file in the registered directories.
  const bool readOnly = request.action != QuietAction::kInstall;

  // One line about each installation an earlier process left unfinished;
  // when one could not be fully undone, nothing new is installed over it.
  if (!readOnly) {
    const RecoveryOutcome recovery = sequence.RecoverInterruptedInstallations();
    for (const RecoveryNotice& notice : recovery.notices) {
      ReportFailure(err, RecoveryLine(notice), WideString());
    }
    if (recovery.anyIncomplete()) return kExitRecoveryIncomplete;
  }
  if (StopRequested()) return kExitInstallFailed;

  // A trusted-key file that was set aside as unsafe: one line each.
  for (const IgnoredKeyFile& ignored : sequence.LoadTrustedKeys(request.keyFile).ignored) {
    ReportFailure(err, ConsoleLine([&] { return IgnoredKeyFileText(ignored); }), WideString());
  }

  // The checks' message is told here, as a line, in place of their box.
  PreinstallServices services = DefaultPreinstallServices();
  if (readOnly) services.isDirectoryWritable = CanCreateOrWriteDirectory;
  const PreinstallResult checks = sequence.RunChecks([](const WideString&) {}, services);
  if (checks == PreinstallResult::kStopped) return kExitInstallFailed;
  if (checks != PreinstallResult::kReady) {
    // A refused signature's text is composed (a key id, a key file).
    const NarrowString text =
        checks == PreinstallResult::kSignatureRefused
            ? ConsoleLine([&] {
                return SignatureRefusalText(sequence.signatureCheck(), sequence.trustedKeys());
              })
            : ConsoleText(CheckTextId(checks));
    ReportFailure(err, text, sequence.CheckSubject(checks));
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
  if (request.action == QuietAction::kVerify) return Verify(sequence, target, out);
  // Refused before anything is written when the files cannot fit (a dry run
  // predicts it).
  const TargetSpace space = MeasureTargetSpace(sequence.kit(), target);
  if (!space.fits()) {
    ReportFailure(err, ConsoleLine([&] { return TargetSpaceMessage(space, target); }), WideString());
    return kExitInstallFailed;
  }
  if (request.action == QuietAction::kDryRun) {
    return DryRun(sequence, target, request.repair, out, err);
  }

  InstallJobOptions options;
  options.pauseMilliseconds = 0;  // nobody reads a final status on a page
  options.upToDate = request.repair ? UpToDateTest::kContent : UpToDateTest::kTime;
  if (!sequence.StartInstallation(std::move(options))) {
    if (const int kit = kitVerdict(); kit != kExitInstalled) return kit;
    ReportFailure(err, ConsoleText(IDS_INSTALL_ERROR), target);
    return kExitInstallFailed;
  }
  // A stop signal stops the job by itself (the process stop flag).
  const InstallReport& report = sequence.FinishInstallation();
  if (report.result != kOk) {
    if (StopSignal() != 0) return kExitInstallFailed;  // rolled back on request: no line
    // A kit found damaged (or the temporary directory full) while the job
    // copied from it: the directory was rolled back; the kit's check tells.
    if (ExitStatusOfFailedInstall(report) != kExitRestoreIncomplete) {
      if (const int kit = kitVerdict(); kit != kExitInstalled) return kit;
      if (StopSignal() != 0) return kExitInstallFailed;
    }
    return ReportFailedInstall(err, report, target);
  }

  // Installed: the launcher learns of it even when a stop signal came after
  // the last entry, so that the registration matches the directory.
  WideString failedFile;
  bool launcherChanged = false;
  const bool registered = sequence.RegisterTarget(&failedFile, &launcherChanged);
  if (StopSignal() != 0) return kExitInstalled;
  if (!registered) ReportFailure(err, ConsoleText(IDS_ERROR_NOTREGISTERED), failedFile);
  const bool changed = report.counts.newFiles + report.counts.replaced != 0 || launcherChanged;
  std::fputs(SummaryLine(report.counts, registered, changed, SignedBy(sequence.signatureCheck()),
                         target)
                 .c_str(),
             out);
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

NarrowString ShellWord(const NarrowString& text) {
  bool plain = !text.empty();
  for (const char c : text.view()) {
    const auto byte = static_cast<unsigned char>(c);
    const bool safe = byte >= 0x80 || (byte >= 'a' && byte <= 'z') ||
                      (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
                      std::string_view("@%+_:,./-").find(c) != std::string_view::npos;
    if (!safe) {
      plain = false;
      break;
    }
  }
  if (plain) return text;
  std::string quoted = "'";
  for (const char c : text.view()) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  quoted += "'";
  return NarrowString(quoted.c_str(), quoted.size());
}

NarrowString SummaryLine(const InstallCounts& counts, bool registered, bool changed,
                         const std::string& signedBy,
                         const WideString& target) {
  WideString shown = target;
  while (shown.size() > 1 && shown.back() == u'/') shown.erase(shown.size() - 1);
  std::string line = "new=" + std::to_string(counts.newFiles) +
                     " replaced=" + std::to_string(counts.replaced) +
                     " unchanged=" + std::to_string(counts.unchanged) +
                     " registered=" + (registered ? "yes" : "no") +
                     " changed=" + (changed ? "yes" : "no") +
                     " signed=" + (signedBy.empty() ? "no" : signedBy) + " target=";
  NarrowString result(line.c_str());
  result += ShellWord(WideToLocale(shown));
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
