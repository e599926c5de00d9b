// veskp8-setup: installs the configuration templates of the distribution kit
// veskp8.efd that lies beside it (or in the current directory with "usecwd").
// Prints nothing; every report is shown in the window. Exit status 0.
#include <gdk/gdk.h>
#include <glib.h>

#include <clocale>
#include <cstdlib>

#include "app/startup.h"
#include "ui/installer_dlg.h"

namespace {

// The installer reports only through its window. Diagnostics of the libraries
// below it (GLib, GDK, GTK, e.g. a locale the C library lacks) are dropped
// instead of being written to the terminal; fatal errors still abort.
void DropLogMessage(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}
void DropText(const gchar*) {}

}  // namespace

int main(int argc, char** argv) {
  g_log_set_default_handler(DropLogMessage, nullptr);
  g_set_printerr_handler(DropText);
  g_set_print_handler(DropText);
  gdk_threads_init();

  veskp8::StartupRecord record =
      veskp8::ScanCommandLine(argc, argv, [] { return std::setlocale(LC_ALL, ""); });
  const veskp8::NarrowString title = veskp8::FetchWindowTitle(record);
  // Before GTK starts (the dialog starts it), so that its own texts follow
  // the installer's language, -L included, instead of the desktop's.
  setenv("LANGUAGE", veskp8::ToolkitLanguage(record).c_str(), 1);

  veskp8::CInstallerDlg dialog(record.m_argc, record.m_argv, record.m_silent, title,
                               record.m_languageCode, record.m_useCurrentDirectory);
  dialog.Run();
  return 0;
}
