// veskp8-setup: installs the configuration templates of the distribution kit
// veskp8.efd that lies beside it (or in the current directory with "usecwd").
//
// Two ways to run, chosen here: the wizard (GTK; -S silent), which reports in
// its window and exits with status 0, or 1 with one line on standard error
// when GTK 2 cannot be loaded or no display can be opened; and the unattended
// mode (-Q), which never loads GTK and reports through its exit status, one
// line on standard error per failure and a summary line on standard output
// (setup/quiet_run.h). --help and --version print their text and exit with 0.
// The executable does not link GTK: it is loaded only for the wizard
// (ui/gtk_runtime.h), so that the rest runs on a machine without it. A command
// line that must not run (FindUsageError: an unknown option with -Q, --dry-run,
// --verify or --repair without -Q) prints one line and exits with 14 before
// anything is done. In both ways
// SIGTERM, SIGINT and SIGHUP end the installer by that signal once the
// installation has been rolled back (or its commit finished and registered);
// a lost X display ends the wizard with status 1 after the same
// (install/stop_signals.h).
#include <gdk/gdk.h>
#include <glib.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "app/startup.h"
#include "install/fs/stop_signals.h"
#include "resources/resource_table.h"
#include "setup/quiet_run.h"
#include "text/conversion.h"
#include "ui/gtk_runtime.h"
#include "ui/installer_dlg.h"

namespace {

// The installer reports only through its window (or, unattended, its own
// lines). Diagnostics of the libraries below it (GLib, GDK, GTK, e.g. a locale
// the C library lacks) are dropped instead of being written to the terminal;
// fatal errors still abort.
void DropLogMessage(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}
void DropText(const gchar*) {}

// GDK's thread lock, which guards nothing here: only the main thread calls
// GTK. Left as GDK makes it, it is free at start-up, yet gtk_dialog_run
// releases it before its loop and takes it after: a message box shown outside
// an event handler (the recovery box of a silent run) leaves it taken, and
// the next loop deadlocks in GDK's event dispatch. Taking and releasing it do
// nothing instead, so no box or loop can leave it taken, in any mode.
void NoGdkLock() {}

int RunWizard(veskp8::StartupRecord& record) {
  if (!veskp8::LoadGtkLibraries()) {
    // In the environment's encoding, as the line about a missing display is
    // (gtk_init sets the locale before it): -L leaves the locale unset.
    std::setlocale(LC_ALL, "");
    veskp8::SetCurrentLanguage(record.m_languageIndex);
    std::fprintf(stderr, "%s\n", veskp8::ConsoleText(veskp8::IDS_NO_GTK).c_str());
    return veskp8::kExitNoDisplay;
  }
  g_log_set_default_handler(DropLogMessage, nullptr);
  g_set_printerr_handler(DropText);
  g_set_print_handler(DropText);
  gdk_threads_set_lock_functions(G_CALLBACK(NoGdkLock), G_CALLBACK(NoGdkLock));
  gdk_threads_init();
  const veskp8::NarrowString title = veskp8::FetchWindowTitle(record);
  // Before GTK starts (the dialog starts it), so that its own texts follow
  // the installer's language, -L included, instead of the desktop's.
  setenv("LANGUAGE", veskp8::ToolkitLanguage(record).c_str(), 1);
  // Its destructor joins the worker and removes the kit's image before a stop
  // signal ends the process (main).
  veskp8::CInstallerDlg dialog(record.m_argc, record.m_argv, record.m_silent, title,
                               record.m_languageCode, record.m_useCurrentDirectory);
  if (!dialog.HasDisplay()) {
    // GTK's convention for a display that cannot be opened, in our words.
    std::fprintf(stderr, "%s\n", veskp8::ConsoleText(veskp8::IDS_ERROR_NODISPLAY).c_str());
    return veskp8::kExitNoDisplay;
  }
  if (record.m_hasTargetDirectory) dialog.PresetTargetDirectory(record.m_targetDirectory);
  dialog.SetTrustedKeyFile(record.m_keyFile);
  dialog.Run();
  return veskp8::kExitInstalled;
}

}  // namespace

int main(int argc, char** argv) {
  // First, before GLib, GTK or the worker start threads of their own: they
  // inherit the blocked stop signals.
  (void)veskp8::InstallStopSignals();

  veskp8::StartupRecord record =
      veskp8::ScanCommandLine(argc, argv, [] { return std::setlocale(LC_ALL, ""); });
  switch (record.m_information) {
    case veskp8::StartupRecord::Information::kHelp:
      std::fputs(veskp8::UsageText(), stdout);
      return 0;
    case veskp8::StartupRecord::Information::kVersion:
      std::fputs(veskp8::VersionText(), stdout);
      return 0;
    case veskp8::StartupRecord::Information::kNone:
      break;
  }
  const veskp8::UsageError usage = veskp8::FindUsageError(record);
  if (usage.id != nullptr) {
    veskp8::SetCurrentLanguage(record.m_languageIndex);
    std::fprintf(stderr, "%s\n",
                 veskp8::ConsoleText(usage.id, veskp8::LocaleToWide(usage.option)).c_str());
    return veskp8::kExitUsage;
  }
  if (!record.m_quiet) {
    const int status = RunWizard(record);
    if (veskp8::StopSignal() != 0) veskp8::EndByStopSignal();
    return status;
  }

  veskp8::SetCurrentLanguage(record.m_languageIndex);
  veskp8::QuietRequest request;
  request.useCurrentDirectory = record.m_useCurrentDirectory;
  request.hasTargetDirectory = record.m_hasTargetDirectory;
  request.targetDirectory = record.m_targetDirectory;
  request.keyFile = record.m_keyFile;
  request.action = record.m_verify   ? veskp8::QuietAction::kVerify
                   : record.m_dryRun ? veskp8::QuietAction::kDryRun
                                     : veskp8::QuietAction::kInstall;
  request.repair = record.m_repair;
  return veskp8::RunQuietInstallation(request, stdout, stderr);
}
