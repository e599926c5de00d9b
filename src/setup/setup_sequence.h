// SetupSequence: one installer run from start to registration, the same for
// the wizard (CInstallerDlg) and the unattended mode (quiet_run.h), so that
// the order of its steps is written once. Free of GTK: what the user is told
// comes in and goes out as callbacks and results.
//
// The steps, in the order every caller makes them:
//   1. RecoverInterruptedInstallations — an installation that an earlier
//      process left unfinished is undone or completed, before the kit is
//      looked for (a missing kit must not block it).
//   2. RunChecks — the pre-install checks of preinstall_check.h (kit found,
//      template directory proposed from the launcher configuration, three
//      times the kit's size free in the temporary directory, the kit's
//      signature checked against the trusted keys, kit opened), in that
//      order. LoadTrustedKeys before it names the run's own key file (-K) and
//      tells the caller which unsafe key file was ignored; without it the
//      checks load the keys themselves. The kit's tables are read then; the
//      rest of it inflates in the background (CompleteKitCheck gives its
//      verdict; a kit whose signature was verified inflates whole first), and
//      the job copies each entry as soon as its bytes are there and commits
//      only once the kit proved whole.
//   3. SetTargetDirectory — optional: the directory page or a -D option
//      replaces the proposal.
//   4. StartInstallation — the job on the worker thread (backup of replaced
//      files, rollback on failure), written ahead to the run's journal
//      (install_journal.h) so that a later start can finish it after a kill
//      or a crash; ReadStatus while it runs; StopInstallation
//      to interrupt it; FinishInstallation joins the worker and gives its
//      report.
//   5. RegisterTarget — after a successful installation, the directory goes to
//      the head of the launcher's template-directory list, in the scopes the
//      checks found; then the run's journal is removed (also when the
//      registration failed: the files are installed, and a later recovery
//      must not take them for an interrupted commit).
//
// The sequence keeps to that order itself: it installs only after the checks
// passed, and registers only after the installation reported success.
//
// A stop (install/stop_signals.h: SIGTERM, SIGINT, SIGHUP, or a lost display)
// is looked at by the checks between their steps and by the kit's inflation
// (they end with kStopped, without a message), and by the job before every
// entry and after every 1 MiB block it copies. EndAfterStop then brings the
// run to its end, whatever step it is in; the owner ends the process.
//
// Ownership: the sequence owns the kit (and with it the inflated image), the
// progress channel, the worker record, the run's journal, the
// template-directory list and the flags that choose the registration scopes.
// Its destructor joins a worker that is still running (the worker is
// destroyed before the channel, the kit and the journal it uses), then
// removes the image; a journal still open then stays for the next start.
//
// Threads: every operation runs on the owning (main) thread, except
// StopInstallation, which may also be called from another thread of the
// owner (a signal watcher) while the main thread waits. The worker thread
// shares only the channel and the worker record's stop flag.
#pragma once

#include <vector>

#include "install/install_journal.h"
#include "setup/journal_recovery.h"
#include "install/progress_channel.h"
#include "install/worker_thread.h"
#include "kit/kit_archive.h"
#include "kit/preinstall_check.h"
#include "text/wide_string.h"

namespace veskp8 {

class SetupSequence {
 public:
  // A closed kit, an empty list, no target; posts the channel's first status
  // (0, "Preparing to copy...", 0). `useCwd`: the kit is looked for in the
  // current directory instead of beside the executable.
  explicit SetupSequence(bool useCwd);
  ~SetupSequence();
  SetupSequence(const SetupSequence&) = delete;
  SetupSequence& operator=(const SetupSequence&) = delete;

  // Step 1: RecoverInterruptedInstallations of journal_recovery.h with
  // `options` (the default: the journals below the home directory). Each
  // journal it finished or set aside comes back as one notice, to be told to
  // the user once (RecoveryMessage); anyIncomplete() when an installation
  // could not be fully undone or a journal could not be read. Nothing here
  // tells the user. Call before the checks: a missing kit never blocks it.
  [[nodiscard]] RecoveryOutcome RecoverInterruptedInstallations(
      const RecoveryOptions& options = {});

  // Before step 2: the trusted keys of this run (kit_signature.h): the
  // built-in ones, the system file, and `runKeyFile` when it is not empty.
  // The result's `ignored` files are for the caller to tell the user; a
  // `problem` makes the checks refuse the kit. Once per run.
  const TrustedKeys& LoadTrustedKeys(const NarrowString& runKeyFile);

  // Step 2: CheckBeforeInstall on this sequence's state. `showError` is
  // called once with the failing check's text.
  [[nodiscard]] PreinstallResult RunChecks(
      const PreinstallMessage& showError,
      const PreinstallServices& services = DefaultPreinstallServices());

  // The kit's final verdict, once the checks passed: the kit goes on
  // inflating in the background after them (its tables are read), and this
  // waits until it has ended and is checked whole (CompleteKit). kReady when
  // the kit is whole and sound, kKitDamaged, kNoTempSpace (the temporary file
  // system filled up) or kStopped; the same answer every later call. Nothing
  // is told to the user. The owner's thread, never while the job runs.
  [[nodiscard]] PreinstallResult CompleteKitCheck();

  // How far the kit's background inflation is; ended once it has finished.
  [[nodiscard]] KitInflationProgress KitProgress() const { return InflationProgress(m_kit); }

  // The path a failed check is about: the kit's path (as located, also when
  // it does not exist; empty when it cannot be located) for a missing or
  // damaged kit, the temporary directory for a lack of space; empty for
  // kReady; for a refused signature, the kit or its signature file (empty when
  // the text names the key file).
  [[nodiscard]] WideString CheckSubject(PreinstallResult result) const;

  // Step 3: the directory to install into, used as given.
  void SetTargetDirectory(const WideString& directory) { m_targetDir = directory; }
  const WideString& targetDirectory() const noexcept { return m_targetDir; }

  // Step 4. Starts the channel on the kit and the target directory and
  // launches the worker with `options` (the wizard keeps the job's pause
  // after the final status; the unattended mode sets it to 0) and the run's
  // journal in place of `options.journal`. False when the
  // checks have not passed or the thread could not be created: nothing was
  // installed and no status will come.
  [[nodiscard]] bool StartInstallation(InstallJobOptions options = {});

  // The job's latest status; final when its code is not 0 or its percent has
  // reached 100 (IsFinal).
  [[nodiscard]] ProgressStatus ReadStatus() const { return m_channel.ReadStatus(); }
  [[nodiscard]] static bool IsFinal(const ProgressStatus& status) {
    return status.code != 0 || status.percent >= 100;
  }

  // No job run starts after this; the running one goes on (the wizard's
  // Cancel while copying).
  void PreventFurtherRuns() { m_worker.RequestStop(); }

  // Interrupts the installation: the job stops after the entry it is writing
  // (after its current 1 MiB block when the process stop flag is set),
  // rolls the template directory back and posts code 1223; a commit or
  // rollback under way finishes first, and a job past its last entry
  // completes. No further run starts. Any thread.
  void StopInstallation();

  // Waits for the worker to end and returns its report (a default report,
  // ran == false, when no worker was launched).
  const InstallReport& FinishInstallation();

  // After a stop, from any step: the job is stopped (it rolls back at its
  // next 1 MiB block, or finishes the commit it is in) and joined; when it
  // committed, the target is registered unless RegisterTarget was called
  // already, so that the launcher matches the directory; then the kit is
  // closed and its image gone. Nothing is reported. True when the
  // installation committed.
  bool EndAfterStop();

  // Step 5 (see RegisterInstalledTemplates): the target directory at the head
  // of the list, written in scope 0 unless the list came from scope 1, and in
  // scope 1 when its file existed. True when every file was written; false
  // with the path of the file that was not in `*failedFile`. Does nothing and
  // answers false (no path) unless the job has posted its success. The
  // journal is finished once the registration was tried (a throw included).
  // `*changed` (when not null): a launcher file was written (a directory that
  // already heads the list leaves the files as they are).
  [[nodiscard]] bool RegisterTarget(WideString* failedFile = nullptr, bool* changed = nullptr);

  // Whether RegisterTarget would write a launcher file now (after the
  // checks): reads only (RegistrationWouldChange).
  [[nodiscard]] bool RegistrationWouldChange() const;

  const KitArchive& kit() const noexcept { return m_kit; }
  // The signature check's outcome (kUnsigned until the checks ran).
  const SignatureCheck& signatureCheck() const noexcept { return m_signature.check; }
  const TrustedKeys& trustedKeys() const noexcept { return m_signature.trusted; }
  const WideString& kitPath() const noexcept { return m_kitPath; }
  const std::vector<WideString>& templateDirs() const noexcept { return m_templateDirs; }
  bool workerLaunched() const noexcept { return m_workerLaunched; }

 private:
  bool m_useCwd;
  bool m_listFromScope1 = false;
  bool m_scope1FileExists = false;
  std::vector<WideString> m_templateDirs;
  WideString m_targetDir;
  WideString m_kitPath;
  KitSignatureState m_signature;
  bool m_keysLoaded = false;
  // Declared before the channel and the worker: destroyed after them (the
  // worker writes to the journal).
  InstallJournal m_journal;
  KitArchive m_kit;
  ProgressChannel m_channel;
  WorkerThread m_worker;
  bool m_checksPassed = false;
  bool m_workerLaunched = false;
  bool m_registrationTried = false;
  InstallReport m_noRun;
};

}  // namespace veskp8
