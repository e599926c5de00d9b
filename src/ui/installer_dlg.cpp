#include "ui/installer_dlg.h"

#include <X11/Xlib.h>
#include <gdk/gdkkeysyms.h>
#include <unistd.h>

#include <clocale>
#include <cstring>
#include <memory>

#include "install/failure_reason.h"
#include "install/fs/file_finder.h"
#include "install/install_outcome.h"
#include "install/fs/process.h"
#include "install/fs/stop_signals.h"
#include "kit/kit_description.h"
#include "resources/images/images.h"
#include "resources/resource_table.h"
#include "setup/success_summary.h"
#include "setup/target_path.h"
#include "setup/target_space.h"
#include "text/conversion.h"
#include "text/string_ops.h"
#include "text/utf8.h"
#include "ui/dir_select_page.h"
#include "ui/message_page.h"
#include "ui/progress_page.h"
#include "ui/success_final_page.h"
#include "ui/ui_text.h"
#include "ui/wizard_buttons.h"

namespace veskp8 {
namespace {

// How often the copying page looks at the worker's status. Short enough for a
// smooth bar, long enough to leave the main thread idle in between.
constexpr guint kPollIntervalMs = 40;

// Layout of the frame around the pages (the buttons: ui/wizard_buttons.h).
constexpr int kSeparatorY = 310;

bool EndsWithSeparator(const WideString& s) { return s.ends_with(u'/') || s.ends_with(u'\\'); }

// The dialog whose run the X I/O error handler brings to an end.
CInstallerDlg* g_displayLostDialog = nullptr;

}  // namespace

CInstallerDlg::CInstallerDlg(int argc, char** argv, bool silent, const NarrowString& title,
                             const WideString& language, bool useCwd)
    : m_silent(silent),
      m_sequence(useCwd),
      m_language(language),
      m_argc(argc),
      m_argv(argv),
      m_title(title) {
  // gtk_init would print GTK's own message and exit without a display; with
  // gtk_init_check the entry routine tells the user in the UI language.
  m_displayOpen = gtk_init_check(&m_argc, &m_argv) != FALSE;
  // GTK's own texts (its stock buttons, the folder chooser) come from its
  // message catalogues in the language that LANGUAGE names; the entry routine
  // sets it to the installer's language. gettext ignores LANGUAGE while the
  // messages locale is "C" (LANG=C over SSH, in cron jobs): take C's UTF-8
  // twin there, which has the same messages and honours LANGUAGE.
  if (const char* messages = std::setlocale(LC_MESSAGES, nullptr);
      messages != nullptr &&
      (std::strcmp(messages, "C") == 0 || std::strcmp(messages, "POSIX") == 0)) {
    std::setlocale(LC_MESSAGES, "C.UTF-8");
  }
}

void CInstallerDlg::PresetTargetDirectory(const WideString& directory) {
  m_hasPresetTarget = true;
  m_presetTarget = directory;
}

WideString CInstallerDlg::GetTitle() { return Utf8ToWide(m_title.view()); }

void CInstallerDlg::Run() {
  // Without a display nothing is recovered either: a later start that can
  // tell the user does it.
  if (!m_displayOpen) return;
  g_displayLostDialog = this;
  XSetIOErrorHandler(&CInstallerDlg::OnDisplayLost);
  SetStopNotifier(&CInstallerDlg::OnStopSignal, this);
  // Before the checks: one box about each installation an earlier process
  // left unfinished, now undone or completed.
  const RecoveryOutcome recovery = m_sequence.RecoverInterruptedInstallations();
  for (const RecoveryNotice& notice : recovery.notices) {
    const bool bad =
        notice.result == RecoveryResult::kIncomplete || notice.result == RecoveryResult::kDamaged;
    ShowMessageBox(this, RecoveryMessage(notice), bad ? kMessageErrorOk : kMessagePlainOk);
  }
  // A system trusted-key file that others could change is set aside; the
  // user (often the administrator who made it) is told so in a box, and the
  // run goes on with the other keys, as the unattended mode does.
  for (const IgnoredKeyFile& ignored : m_sequence.LoadTrustedKeys(m_trustedKeyFile).ignored) {
    ShowMessageBox(this, IgnoredKeyFileText(ignored), kMessageErrorOk);
  }
  const PreinstallResult checks = m_sequence.RunChecks(
      [this](const WideString& text) { ShowMessageBox(this, text, kMessageErrorOk); });
  if (checks != PreinstallResult::kReady) return;
  if (m_hasPresetTarget) m_sequence.SetTargetDirectory(m_presetTarget);

  // The kit's tables are read: the window comes at once, and the rest of the
  // kit inflates in the background while the pages are read.
  BuildWindow();
  ShowWelcomePage();
  if (!m_silent) g_timeout_add(kPollIntervalMs, &CInstallerDlg::OnKitTimer, this);
  if (m_silent) {
    RunInstallation();
  } else {
    gtk_main();
  }
  // The process must not end while the worker still writes files.
  (void)m_sequence.FinishInstallation();
  SetStopNotifier(nullptr, nullptr);
  g_displayLostDialog = nullptr;
}

void CInstallerDlg::OnStopSignal(void* data) {
  // On the signal waiter thread: only wake the main thread's loop.
  g_idle_add(&CInstallerDlg::OnStopIdle, data);
}

gboolean CInstallerDlg::OnStopIdle(gpointer data) {
  auto* self = static_cast<CInstallerDlg*>(data);
  // While copying, the job itself stops; RunInstallation ends the run when
  // the copy's loop has seen its last status.
  if (self->m_copyLoop == nullptr) self->EndAfterStop(false);
  return FALSE;
}

int CInstallerDlg::OnDisplayLost(_XDisplay* /*display*/) {
  // Xlib calls exit() when this returns: it never does.
  RequestProcessStop();
  if (g_displayLostDialog != nullptr) g_displayLostDialog->EndAfterStop(true);
  _exit(1);
}

void CInstallerDlg::EndAfterStop(bool displayLost) {
  // Nothing is shown any more: the run is brought to its end, rolled back
  // or committed and registered, and the kit's image is removed.
  (void)m_sequence.EndAfterStop();
  if (!displayLost) EndByStopSignal();
  _exit(1);
}

void CInstallerDlg::BuildWindow() {
  m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_position(GTK_WINDOW(m_window), GTK_WIN_POS_CENTER);

  GdkGeometry geometry = {};
  geometry.min_width = geometry.max_width = geometry.base_width = m_width;
  geometry.min_height = geometry.max_height = geometry.base_height = m_height;
  geometry.win_gravity = GDK_GRAVITY_NORTH_WEST;
  gtk_window_set_geometry_hints(
      GTK_WINDOW(m_window), m_window, &geometry,
      static_cast<GdkWindowHints>(GDK_HINT_MIN_SIZE | GDK_HINT_MAX_SIZE | GDK_HINT_BASE_SIZE));
  gtk_window_set_modal(GTK_WINDOW(m_window), TRUE);
  // A dialog: window managers list it in the taskbar and the Alt-Tab list
  // and give it its frame (the menu hint, which GTK took over from an older
  // toolkit's port, hides it from both under openbox and xfwm4).
  gtk_window_set_type_hint(GTK_WINDOW(m_window), GDK_WINDOW_TYPE_HINT_DIALOG);

  m_icon = gdk_pixbuf_new_from_xpm_data(const_cast<const char**>(kInstallerIconXpm));
  gtk_window_set_icon(GTK_WINDOW(m_window), m_icon);

  m_fixed = gtk_fixed_new();
  gtk_container_add(GTK_CONTAINER(m_window), m_fixed);

  g_signal_connect_swapped(m_window, "destroy", G_CALLBACK(gtk_main_quit), m_window);
  g_signal_connect(m_window, "key_press_event", G_CALLBACK(&CInstallerDlg::OnKeyPress), this);
  g_signal_connect(m_window, "delete_event", G_CALLBACK(&CInstallerDlg::OnDeleteEvent), this);

  gtk_window_set_title(GTK_WINDOW(m_window), m_title.c_str());

  GtkWidget* separator = gtk_hseparator_new();
  gtk_widget_set_size_request(separator, m_width - 20, 5);
  gtk_fixed_put(GTK_FIXED(m_fixed), separator, 10, kSeparatorY);

  m_backButton = CreateNavigationButton(m_fixed, NavigationButton::kBack);
  m_nextButton = CreateNavigationButton(m_fixed, NavigationButton::kNext);
  gtk_window_set_default(GTK_WINDOW(m_window), m_nextButton);
  m_cancelButton = CreateNavigationButton(m_fixed, NavigationButton::kCancel);

  g_signal_connect(m_backButton, "clicked", G_CALLBACK(&CInstallerDlg::OnBack), this);
  g_signal_connect(m_nextButton, "clicked", G_CALLBACK(&CInstallerDlg::OnNext), this);
  g_signal_connect(m_cancelButton, "clicked", G_CALLBACK(&CInstallerDlg::OnCancel), this);

  gtk_widget_show_all(m_fixed);
  m_pageImage = gdk_pixbuf_new_from_xpm_data(const_cast<const char**>(kPageImageXpm));
  gtk_widget_show(m_window);
}

void CInstallerDlg::SwitchPage(WizardDialogPage* page) {
  if (m_currentPage != nullptr) {
    for (GtkWidget* widget : m_currentPage->widgets()) gtk_widget_hide(widget);
  }
  m_currentPage = page;
  for (GtkWidget* widget : page->widgets()) gtk_widget_show(widget);
  page->Activate();
}

void CInstallerDlg::ShowWelcomePage() {
  WideString product;
  WideString vendor;
  LookupProductAndVendor(m_sequence.kit().descriptions(), m_language, product, vendor);
  if (product.empty()) product = LoadResourceString(IDS_DEFPRODUCT);
  if (vendor.empty()) vendor = LoadResourceString(IDS_DEFPROVIDER);
  const WideString message =
      LoadResourceString(IDS_WELCOME_TITLE) + u" " + product + u" (" + vendor + u").";
  if (m_welcomePage == nullptr)
    m_welcomePage = std::make_unique<MessagePage>(m_fixed, m_pageImage, message);

  if (m_silent) {
    gtk_widget_set_visible(m_backButton, FALSE);
    gtk_widget_set_visible(m_nextButton, FALSE);
  } else {
    gtk_widget_set_sensitive(m_backButton, FALSE);
  }
  m_state = PageWelcome;
  SwitchPage(m_welcomePage.get());
}

void CInstallerDlg::ShowDirectoryPage() {
  m_state = PageDirectory;
  if (m_dirPage == nullptr) m_dirPage = std::make_unique<DirSelectPage>(m_fixed, m_pageImage);
  m_dirPage->SetEntryText(m_sequence.targetDirectory());
  gtk_widget_set_sensitive(m_backButton, TRUE);
  gtk_widget_set_sensitive(m_nextButton, TRUE);
  SwitchPage(m_dirPage.get());
}

void CInstallerDlg::RunInstallation() {
  if (m_progressPage == nullptr)
    m_progressPage = std::make_unique<ProgressPage>(m_fixed, m_width - 20);

  // An empty target would install relative to the current directory, without
  // a backup, and register an empty entry; a relative one (a -D value in a
  // silent run) would mean nothing to the launcher.
  const TargetPath target = InterpretTargetPath(m_sequence.targetDirectory(), HomeDirectory());
  if (target.kind != TargetPath::Kind::kAbsolute) {
    ShowMessageBox(this,
                   LoadResourceString(target.kind == TargetPath::Kind::kEmpty
                                          ? IDS_ERROR_NOTARGET
                                          : IDS_FULL_PATH_REQUIRED),
                   kMessageErrorOk);
    ShowErrorPage();
    return;
  }
  m_sequence.SetTargetDirectory(target.path);
  // Refused before anything is written when the files cannot fit: the
  // directory page stays for another choice (a silent run ends on the error
  // page).
  const TargetSpace space = MeasureTargetSpace(m_sequence.kit(), target.path);
  if (!space.fits()) {
    ShowMessageBox(this, TargetSpaceMessage(space, target.path), kMessageErrorOk);
    if (m_silent || m_state != PageDirectory) ShowErrorPage();
    return;
  }

  gtk_widget_set_sensitive(m_backButton, FALSE);
  gtk_widget_set_sensitive(m_nextButton, FALSE);
  SwitchPage(m_progressPage.get());
  m_state = PageCopying;

  if (StopRequested()) EndAfterStop(false);
  // Nothing is copied before the whole kit has inflated and proved sound.
  if (!WaitForWholeKit()) return;
  InstallJobOptions options;
  // The final status is read at once (the success page follows it); the
  // pause would only hold the worker up.
  options.pauseMilliseconds = 0;
  if (!m_sequence.StartInstallation(std::move(options))) {
    ShowMessageBox(this, LoadResourceString(IDS_INSTALL_ERROR), kMessageErrorOk);
    ShowErrorPage();
    return;
  }

  // Wait for the outcome: the main thread sleeps between two looks at it.
  RunNestedLoop(&CInstallerDlg::OnPollTimer);
  if (StopRequested()) EndAfterStop(false);
  // The job has posted its last status: the worker ends at once.
  const InstallReport& report = m_sequence.FinishInstallation();

  if (m_outcome.code == kErrCancelled && m_cancelledByUser) {
    // Rolled back on the user's request: no error box, the cancel text.
    ShowErrorPage(LoadResourceString(IDS_CANCEL_FINISH));
    return;
  }
  if (m_outcome.code != 0) {
    // What failed and why, unless the status has words of its own (another
    // installation in the directory, an incomplete rollback).
    WideString detail;
    if (m_outcome.code != kErrBusy && m_outcome.code != kErrRollbackIncomplete) {
      detail = FailureDetail(
          report.failedDestination.empty() ? m_sequence.targetDirectory() : report.failedDestination,
          report.failedError);
    }
    ShowMessageBox(this, detail.empty() ? m_outcome.text : FailureBoxText(m_outcome, detail),
                   kMessageErrorOk);
    const WideString page = FailurePageText(m_outcome);
    ShowErrorPage(detail.empty() ? page : page + u"\n\n" + detail);
    return;
  }
  ShowSuccessPage(SuccessPageText(report.counts, m_sequence.targetDirectory()));
  RegisterTargetDirectory();
}

void CInstallerDlg::RunNestedLoop(GSourceFunc poll) {
  // A nested loop keeps the window responsive; `poll` ends it (m_copyLoop).
  // GDK's thread lock is a no-op in this program (ui/gtk_runtime.h), so
  // nothing is held across the wait.
  m_copyLoop = g_main_loop_new(nullptr, FALSE);
  g_timeout_add(kPollIntervalMs, poll, this);
  g_main_loop_run(m_copyLoop);
  g_main_loop_unref(m_copyLoop);
  m_copyLoop = nullptr;
}

bool CInstallerDlg::WaitForWholeKit() {
  if (!m_sequence.KitProgress().ended) {
    RunNestedLoop(&CInstallerDlg::OnKitWaitTimer);
  }
  const PreinstallResult verdict = m_sequence.CompleteKitCheck();
  if (verdict == PreinstallResult::kStopped || StopRequested()) EndAfterStop(false);
  if (verdict == PreinstallResult::kReady) return true;
  EndWithKitFailure(verdict);
  return false;
}

gboolean CInstallerDlg::OnKitWaitTimer(gpointer data) {
  auto* self = static_cast<CInstallerDlg*>(data);
  const KitInflationProgress progress = self->m_sequence.KitProgress();
  // The bar shows the share of the kit inflated; 100 is the copy's own end.
  const int percent =
      progress.kitSize == 0 ? 0 : static_cast<int>(progress.kitBytes * 99 / progress.kitSize);
  self->m_progressPage->Update(percent);
  if (!progress.ended) return TRUE;
  g_main_loop_quit(self->m_copyLoop);
  return FALSE;
}

gboolean CInstallerDlg::OnKitTimer(gpointer data) {
  auto* self = static_cast<CInstallerDlg*>(data);
  // The copying page waits for the kit itself; a box or a chooser open now
  // is answered first.
  if (self->m_state == PageCopying || self->m_state == PageSuccess || self->m_state == PageError) {
    return FALSE;
  }
  if (!self->m_sequence.KitProgress().ended || gtk_main_level() > 1) return TRUE;
  const PreinstallResult verdict = self->m_sequence.CompleteKitCheck();
  if (verdict == PreinstallResult::kReady) return FALSE;
  if (verdict == PreinstallResult::kStopped) return FALSE;  // the stop ends the run
  self->EndWithKitFailure(verdict);
  return FALSE;
}

void CInstallerDlg::EndWithKitFailure(PreinstallResult verdict) {
  ShowMessageBox(this,
                 LoadResourceString(verdict == PreinstallResult::kNoTempSpace
                                        ? IDS_ERROR_NOSPACE
                                        : IDS_ERROR_DAMAGEDSOURCE),
                 kMessageErrorOk);
  // Destroyed, its main loop ends and Run returns; in silent mode no main
  // loop runs and Run returns after the copy's step: the window is hidden.
  if (m_silent) {
    gtk_widget_hide(m_window);
  } else {
    gtk_widget_destroy(m_window);
  }
}

gboolean CInstallerDlg::OnPollTimer(gpointer data) {
  auto* self = static_cast<CInstallerDlg*>(data);
  const ProgressStatus status = self->m_sequence.ReadStatus();
  self->m_progressPage->Update(status.percent);
  // While copying the status text is the destination: shown from the
  // template directory on.
  WideString target = self->m_sequence.targetDirectory();
  if (!target.ends_with(u'/')) target += u"/";
  if (status.code == 0 && status.text.size() > target.size() &&
      status.text.substr(0, target.size()) == target) {
    self->m_progressPage->ShowFile(status.text.substr(target.size()));
  }
  if (!SetupSequence::IsFinal(status)) return TRUE;
  self->m_outcome = status;
  self->m_copyFinished = true;
  g_main_loop_quit(self->m_copyLoop);
  return FALSE;
}

void CInstallerDlg::RegisterTargetDirectory() {
  try {
    (void)m_sequence.RegisterTarget();
  } catch (...) {
    // Registration never changes the outcome of the installation.
  }
}

void CInstallerDlg::ShowSuccessPage(const WideString& text) {
  m_state = PageSuccess;
  if (m_successPage == nullptr) {
    m_successPage = std::make_unique<SuccessFinalPage>(m_fixed, m_pageImage, text);
  }
  SetFinalButtons();
  SwitchPage(m_successPage.get());
}

void CInstallerDlg::ShowErrorPage(const WideString& text) {
  if (m_errorPage == nullptr) {
    // The page tells whether the rollback put everything back, and why the
    // installation failed.
    m_errorPage = std::make_unique<MessagePage>(
        m_fixed, m_pageImage, text.empty() ? FailurePageText(m_outcome) : text);
  }
  m_state = PageError;
  SetFinalButtons();
  SwitchPage(m_errorPage.get());
}

void CInstallerDlg::SetFinalButtons() {
  gtk_widget_set_sensitive(m_nextButton, TRUE);
  gtk_widget_set_sensitive(m_cancelButton, FALSE);
  gtk_widget_set_visible(m_backButton, FALSE);
  gtk_widget_set_visible(m_nextButton, TRUE);
  gtk_button_set_label(GTK_BUTTON(m_nextButton), ResourceLabel(IDS_WIZARD_FINISH).c_str());
  gtk_widget_set_can_default(m_nextButton, TRUE);
  gtk_window_set_default(GTK_WINDOW(m_window), m_nextButton);
}

void CInstallerDlg::OnNext(GtkWidget* /*button*/, gpointer data) {
  auto* self = static_cast<CInstallerDlg*>(data);
  switch (self->m_state) {
    case PageSuccess:
    case PageError:
      self->Finish();
      break;
    case PageDirectory: {
      // "~" is the home directory; a relative path would mean the current
      // directory here and nothing to the launcher: a full path is asked for.
      const TargetPath target =
          InterpretTargetPath(self->m_dirPage->GetEntryText(), HomeDirectory());
      if (target.kind == TargetPath::Kind::kEmpty) {
        ShowMessageBox(self, LoadResourceString(IDS_SETUP_EMPTYTARGET), kMessagePlainOk);
        break;
      }
      if (target.kind == TargetPath::Kind::kRelative) {
        ShowMessageBox(self, LoadResourceString(IDS_FULL_PATH_REQUIRED), kMessagePlainOk);
        break;
      }
      self->m_sequence.SetTargetDirectory(target.path);
      self->RunInstallation();
      break;
    }
    case PageWelcome:
      self->ShowDirectoryPage();
      break;
    default:
      break;
  }
}

void CInstallerDlg::OnBack(GtkWidget* /*button*/, gpointer data) {
  auto* self = static_cast<CInstallerDlg*>(data);
  if (self->m_state == PageDirectory) self->ShowWelcomePage();
}

void CInstallerDlg::OnCancel(GtkWidget* /*button*/, gpointer data) {
  auto* self = static_cast<CInstallerDlg*>(data);
  if (self->m_state == PageCopying) {
    self->AskCancelCopy();
    return;
  }
  self->AskCancel();
}

gboolean CInstallerDlg::OnKeyPress(GtkWidget* /*window*/, GdkEventKey* event, gpointer data) {
  auto* self = static_cast<CInstallerDlg*>(data);
  if (event->keyval != GDK_Escape) return FALSE;
  if (self->m_state == PageCopying) {
    self->AskCancelCopy();
  } else {
    self->AskCancel();
  }
  return TRUE;
}

gboolean CInstallerDlg::OnDeleteEvent(GtkWidget* /*window*/, GdkEvent* /*event*/, gpointer data) {
  auto* self = static_cast<CInstallerDlg*>(data);
  // The close button asks as Cancel does; the window itself stays (AskCancel
  // destroys it on Yes; while copying, the copy's outcome is shown on its
  // pages). On the final pages it closes, as Finish does without its action.
  switch (self->m_state) {
    case PageCopying:
      self->AskCancelCopy();
      return TRUE;
    case PageWelcome:
    case PageDirectory:
      self->AskCancel();
      return TRUE;
    default:
      return FALSE;
  }
}

void CInstallerDlg::AskCancel() {
  if (m_asking) return;  // one question at a time (Escape, then the close button)
  m_asking = true;
  const bool yes = !m_confirmCancel || ShowMessageBox(this, LoadResourceString(IDS_ACCEPT_CANCEL),
                                                      kMessageQuestionYesNo) == kMessageResultYes;
  m_asking = false;
  if (yes) gtk_widget_destroy(m_window);
}

void CInstallerDlg::AskCancelCopy() {
  // Once the job has posted its last status there is nothing left to cancel.
  if (m_asking || m_cancelledByUser || m_copyLoop == nullptr || m_copyFinished) return;
  m_asking = true;
  // The copy goes on while the question waits.
  const bool yes = ShowMessageBox(this, LoadResourceString(IDS_ACCEPT_CANCEL),
                                  kMessageQuestionYesNo) == kMessageResultYes;
  m_asking = false;
  if (!yes || m_copyFinished) return;
  // The job stops after the block it copies, rolls the template directory
  // back and posts 1223; the polling then shows the cancel text.
  m_cancelledByUser = true;
  gtk_widget_set_sensitive(m_cancelButton, FALSE);
  m_sequence.StopInstallation();
}

void CInstallerDlg::Finish() {
  if (m_state == PageSuccess) OpenDescription();
  gtk_widget_destroy(m_window);
}

void CInstallerDlg::OpenDescription() {
  const WideString name = LookupDescriptionDocument(m_sequence.kit().descriptions(), m_language);
  WideString path = m_sequence.targetDirectory();
  if (!EndsWithSeparator(path)) path += u"/";
  path += name;
  ReplaceAll(path, ForeignSeparator(), PathSeparator());

  if (!PathExists(path) || !m_successPage->IsOpenDescriptionChecked()) return;
  NarrowString localPath;
  if (!WideToLocaleChecked(path, localPath)) return;
  // No shell: the path is one literal argument whatever it holds. Whatever
  // xdg-open or the viewer it starts prints goes to /dev/null: the installer
  // prints nothing. A stop signal ends the wait (the viewer goes on by itself).
  (void)RunProgramQuietly({NarrowString("xdg-open"), localPath}, &ProcessStopFlag());
}

}  // namespace veskp8
