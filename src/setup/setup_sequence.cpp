#include "setup/setup_sequence.h"

#include "install/fs/file_system.h"
#include "install/fs/stop_signals.h"
#include "launcher_config/template_registration.h"
#include "resources/resource_table.h"

namespace veskp8 {

SetupSequence::SetupSequence(bool useCwd) : m_useCwd(useCwd) {
  m_worker.Clear();
  m_channel.Post(0, LoadResourceString(IDS_PREPARECOPY), 0);
}

SetupSequence::~SetupSequence() {
  // The worker uses the channel and the kit: it must end before they go.
  (void)m_worker.Join();
}

RecoveryOutcome SetupSequence::RecoverInterruptedInstallations(const RecoveryOptions& options) {
  return veskp8::RecoverInterruptedInstallations(options);
}

const TrustedKeys& SetupSequence::LoadTrustedKeys(const NarrowString& runKeyFile) {
  TrustedKeySources sources;
  sources.builtIn = BuiltInTrustedKeys();
  sources.runFile = runKeyFile;
  m_signature.trusted = veskp8::LoadTrustedKeys(sources);
  m_keysLoaded = true;
  return m_signature.trusted;
}

PreinstallResult SetupSequence::RunChecks(const PreinstallMessage& showError,
                                          const PreinstallServices& services) {
  if (!m_keysLoaded) (void)LoadTrustedKeys(NarrowString());
  PreinstallState state{m_useCwd,           m_kitPath,        m_templateDirs, m_targetDir,
                        m_scope1FileExists, m_listFromScope1, m_kit,          &ProcessStopFlag(),
                        &m_signature};
  state.inflateInBackground = true;
  const PreinstallResult result = CheckBeforeInstall(state, showError, services);
  m_checksPassed = result == PreinstallResult::kReady;
  return result;
}

PreinstallResult SetupSequence::CompleteKitCheck() {
  if (!m_checksPassed) return PreinstallResult::kKitDamaged;
  return KitCheckOutcome(CompleteKit(m_kit, &ProcessStopFlag()), &ProcessStopFlag());
}

WideString SetupSequence::CheckSubject(PreinstallResult result) const {
  switch (result) {
    case PreinstallResult::kKitNotFound:
    case PreinstallResult::kKitDamaged:
      return LocateKit(m_useCwd);
    case PreinstallResult::kNoTempSpace:
      return GetTempDirectory();
    case PreinstallResult::kSignatureRefused:
      return m_signature.subject;
    case PreinstallResult::kStopped:
    case PreinstallResult::kReady:
      break;
  }
  return WideString();
}

bool SetupSequence::StartInstallation(InstallJobOptions options) {
  if (!m_checksPassed || m_workerLaunched) return false;
  m_channel.Start(&m_kit, m_targetDir);
  // The journal opens itself when the transaction begins; after a rollback
  // the job finishes it, after a success RegisterTarget does.
  options.journal = &m_journal;
  m_worker.Launch(&m_channel, std::move(options));
  m_workerLaunched = m_worker.createResult() == 0;
  return m_workerLaunched;
}

void SetupSequence::StopInstallation() {
  m_channel.SetCancel(true);
  m_worker.RequestStop();
}

const InstallReport& SetupSequence::FinishInstallation() {
  if (!m_workerLaunched || m_worker.Join() != 0) return m_noRun;
  return m_worker.report();
}

bool SetupSequence::EndAfterStop() {
  StopInstallation();
  const InstallReport& report = FinishInstallation();
  const bool committed = report.ran && report.result == kOk;
  if (committed && !m_registrationTried) {
    try {
      (void)RegisterTarget();
    } catch (...) {
      // The installation stays complete; the process ends all the same.
    }
  }
  CloseKit(m_kit);
  return committed;
}

bool SetupSequence::RegistrationWouldChange() const {
  TemplateRegistration registration;
  registration.m_templateDirs = m_templateDirs;
  registration.m_targetDir = m_targetDir;
  registration.m_scope1FileExists = m_scope1FileExists;
  registration.m_listFromScope1 = m_listFromScope1;
  return veskp8::RegistrationWouldChange(registration);
}

bool SetupSequence::RegisterTarget(WideString* failedFile, bool* changed) {
  const ProgressStatus status = m_channel.ReadStatus();
  if (!m_workerLaunched || status.code != 0 || status.percent < 100) return false;
  m_registrationTried = true;
  TemplateRegistration registration;
  registration.m_templateDirs = m_templateDirs;
  registration.m_targetDir = m_targetDir;
  registration.m_scope1FileExists = m_scope1FileExists;
  registration.m_listFromScope1 = m_listFromScope1;
  // Installed and registered (or tried): the installation is complete, and
  // its journal goes, also when the launcher file could not be written.
  struct FinishJournal {
    InstallJournal& journal;
    ~FinishJournal() { journal.Finish(); }
  } finish{m_journal};
  const bool registered = RegisterInstalledTemplates(registration, failedFile, changed);
  m_templateDirs = registration.m_templateDirs;
  return registered;
}

}  // namespace veskp8
