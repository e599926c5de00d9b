// CInstallerDlg: the installer's one top-level window, a wizard of fixed size
// (500 x 360) with a page area, a separator and the Back, Next/Finish and
// Cancel buttons, and everything an installation needs between start-up and
// exit: the opened kit, the progress channel, the worker record, the chosen
// template directory, the launcher's template-directory list and the pages.
//
// Page flow: welcome -> template directory -> copying -> success or error.
// With `silent`, the welcome page is shown without Back and Next and the
// installation starts at once into the proposed directory; Run returns when it
// has ended, without waiting on the final page.
//
// The directory page takes "~" and "~/..." as the home directory and asks for
// a full path instead of a relative one (setup/target_path.h); before copying
// it refuses a kit that cannot fit the directory's file system
// (setup/target_space.h). Cancel, Escape and the window's close button ask
// before they end the wizard; while copying, Yes makes the job stop and roll
// back, and the page shows the cancel text (No lets the copy go on). A
// failure names the path and the system's reason (install/failure_reason.h);
// the success page says where the files went and what was new, replaced and
// already up to date. The window is a dialog for the window manager (listed
// in the taskbar and the Alt-Tab list, minimisable).
//
// The run's steps themselves (recovery, pre-install checks, installation on
// the worker thread, registration) are SetupSequence's, which the unattended
// mode makes in the same order; the dialog adds the window and its pages.
//
// Lifetime: the entry routine constructs it on its stack, calls Run once and
// destroys it. Run joins the worker before it returns, so no worker outlives
// Run. Pages and widgets are created at most once each and live until the
// process ends (they belong to GTK).
//
// Threads: all of it runs on the main thread, which alone calls GTK. The worker
// thread shares only the channel and its stop flag with it.
//
// Interruptions (install/stop_signals.h). A stop signal is handled on the
// main thread, inside whichever GLib loop runs (gtk_main, the copy's nested
// loop, a message box), and nothing is shown: before copying the process
// ends at once; while copying the job stops after its current 1 MiB block
// and rolls back (a commit under way is finished, then registered), then the
// process ends by that signal. When the X display goes away, the X I/O error
// handler (installed by Run, it replaces GDK's, which calls exit() while the
// worker writes) does the same and ends the process with _exit(1). Either
// way the worker is joined and the kit's image removed first, and the
// template directory is wholly as before or wholly installed and registered.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtk/gtk.h>

#include <memory>
#include <vector>

#include "install/progress_channel.h"
#include "setup/setup_sequence.h"
#include "text/narrow_string.h"
#include "text/wide_string.h"
#include "ui/dir_select_page.h"
#include "ui/message_box.h"
#include "ui/message_page.h"
#include "ui/progress_page.h"
#include "ui/success_final_page.h"

struct _XDisplay;

namespace veskp8 {

class CInstallerDlg final : public CWnd {
 public:
  enum PageState {
    PageNone = 0,
    PageWelcome = 1,
    PageDirectory = 2,
    PageCopying = 3,
    PageSuccess = 4,
    PageError = 5,
  };

  // `title` is the window title as UTF-8 (GTK's encoding in every locale).
  // Copies the arguments, allocates the kit's copy buffer, posts the first
  // status, "Preparing to copy...", and calls gtk_init_check with the
  // addresses of its own copies of argc/argv (GTK may remove its options
  // there). Without a display HasDisplay() is false and Run does nothing.
  CInstallerDlg(int argc, char** argv, bool silent, const NarrowString& title,
                const WideString& language, bool useCwd);
  // Releases the kit (its image file is removed), the strings and the page
  // objects. The worker has been joined by Run.
  ~CInstallerDlg() = default;
  CInstallerDlg(const CInstallerDlg&) = delete;
  CInstallerDlg& operator=(const CInstallerDlg&) = delete;

  // Whether gtk_init_check could open the display.
  bool HasDisplay() const noexcept { return m_displayOpen; }

  // Replaces the directory that the pre-install checks propose (the -D
  // option): the directory page starts from it, and the silent run installs
  // into it. Call before Run.
  void PresetTargetDirectory(const WideString& directory);
  // One more trusted-key file for this run (-K); empty: none. Before Run.
  void SetTrustedKeyFile(const NarrowString& file) { m_trustedKeyFile = file; }

  // Finishes the installations an earlier process left unfinished
  // (SetupSequence::RecoverInterruptedInstallations) with a message box about
  // each, runs the pre-install checks (which show their own message box on
  // failure: then no window is built),
  // builds the window and shows the welcome page; then either installs at
  // once (silent) or runs the GTK main loop until the window is destroyed.
  // Joins the worker before returning.
  void Run();

  // The window title (IDR_MAINFRAME's text) as a wide string.
  WideString GetTitle() override;

  int state() const { return m_state; }

 private:
  static void OnBack(GtkWidget* button, gpointer dialog);
  static void OnNext(GtkWidget* button, gpointer dialog);
  static void OnCancel(GtkWidget* button, gpointer dialog);
  static gboolean OnKeyPress(GtkWidget* window, GdkEventKey* event, gpointer dialog);
  static gboolean OnDeleteEvent(GtkWidget* window, GdkEvent* event, gpointer dialog);
  static gboolean OnPollTimer(gpointer dialog);
  // While the pages are read: a kit found damaged in the background ends
  // the run as a failed check does.
  static gboolean OnKitTimer(gpointer dialog);
  // On the copying page before the copy: the inflation's progress.
  static gboolean OnKitWaitTimer(gpointer dialog);
  static void OnStopSignal(void* dialog);
  static gboolean OnStopIdle(gpointer dialog);
  static int OnDisplayLost(_XDisplay* display);

  void BuildWindow();
  void ShowWelcomePage();
  void ShowDirectoryPage();
  void RunInstallation();
  // Runs a nested main loop, `poll` called every kPollIntervalMs with this
  // dialog, until a poll quits m_copyLoop.
  void RunNestedLoop(GSourceFunc poll);
  // Waits on the copying page until the kit has inflated and proved whole.
  // False when it did not: its box was shown and the window destroyed.
  bool WaitForWholeKit();
  // The box of a kit check that failed in the background, then the window
  // destroyed (the run ends as after a failed check).
  void EndWithKitFailure(PreinstallResult verdict);
  // `text`: the page's text when the page is created (empty: the failure's
  // own page text).
  void ShowSuccessPage(const WideString& text);
  void ShowErrorPage(const WideString& text = WideString());
  void SetFinalButtons();
  void SwitchPage(WizardDialogPage* page);
  void AskCancel();
  // Cancel, Escape or the close button while copying: asks; on Yes the job
  // stops, rolls back, and the page shows the cancel text. On No, or when the
  // copy ended meanwhile, nothing changes.
  void AskCancelCopy();
  void Finish();
  void RegisterTargetDirectory();
  void OpenDescription();
  // Brings the run to a safe end after a stop (see the top of this file) and
  // ends the process: by the stop signal, or with _exit(1) when the display
  // went away.
  [[noreturn]] void EndAfterStop(bool displayLost);

  bool m_silent;
  // Kit, channel, worker, template-directory list, target and registration
  // scopes.
  SetupSequence m_sequence;
  bool m_hasPresetTarget = false;
  WideString m_presetTarget;
  NarrowString m_trustedKeyFile;
  WideString m_language;
  int m_state = PageNone;
  // The page objects are the dialog's; their widgets belong to GTK and stay
  // until the process ends.
  std::unique_ptr<MessagePage> m_welcomePage;
  std::unique_ptr<DirSelectPage> m_dirPage;
  WizardDialogPage* m_currentPage = nullptr;  // one of the pages above, not owned
  std::unique_ptr<ProgressPage> m_progressPage;
  std::unique_ptr<SuccessFinalPage> m_successPage;
  std::unique_ptr<MessagePage> m_errorPage;
  GdkPixbuf* m_pageImage = nullptr;
  GtkWidget* m_backButton = nullptr;
  GtkWidget* m_nextButton = nullptr;
  GtkWidget* m_cancelButton = nullptr;
  bool m_confirmCancel = true;
  int m_argc;
  char** m_argv;
  int m_width = 500;
  int m_height = 360;
  NarrowString m_title;  // UTF-8
  GtkWidget* m_window = nullptr;
  GtkWidget* m_fixed = nullptr;
  GdkPixbuf* m_icon = nullptr;

  // Copying: the nested loop that RunInstallation runs until the polling
  // timer has seen the outcome, and that outcome.
  GMainLoop* m_copyLoop = nullptr;
  ProgressStatus m_outcome;
  bool m_copyFinished = false;    // the job's last status has been seen
  bool m_cancelledByUser = false;  // Yes to the cancel question while copying
  bool m_asking = false;           // the cancel question is open
  // gtk_init_check succeeded: there is a display to show the wizard on.
  bool m_displayOpen = false;
};

}  // namespace veskp8
