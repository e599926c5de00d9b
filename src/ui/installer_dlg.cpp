#include "ui/installer_dlg.h"

#include <X11/Xlib.h>
#include <gdk/gdkkeysyms.h>
#include <unistd.h>

#include <clocale>
#include <cstring>
#include <memory>

#include "install/fs/file_finder.h"
#include "install/install_outcome.h"
#include "install/fs/process.h"
#include "install/fs/stop_signals.h"
#include "kit/kit_description.h"
#include "resources/images/images.h"
#include "resources/resource_table.h"
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
  gtk_window_set_type_hint(GTK_WINDOW(m_window), GDK_WINDOW_TYPE_HINT_MENU);

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
  // a backup, and register an empty entry.
  if (m_sequence.targetDirectory().empty()) {
    ShowMessageBox(this, LoadResourceString(IDS_ERROR_NOTARGET), kMessageErrorOk);
    ShowErrorPage();
    return;
  }

  gtk_widget_set_sensitive(m_backButton, FALSE);
  gtk_widget_set_sensitive(m_nextButton, FALSE);
  SwitchPage(m_progressPage.get());
  m_state = PageCopying;

  if (StopRequested()) EndAfterStop(false);
  // Nothing is copied before the whole kit has inflated and proved sound.
  if (!WaitForWholeKit()) return;
  if (!m_sequence.StartInstallation()) {
    ShowMessageBox(this, LoadResourceString(IDS_INSTALL_ERROR), kMessageErrorOk);
    ShowErrorPage();
    return;
  }

  // Wait for the outcome in a nested loop: the window stays responsive and
  // the main thread sleeps between two looks at the status.
  m_copyLoop = g_main_loop_new(nullptr, FALSE);
  g_timeout_add(kPollIntervalMs, &CInstallerDlg::OnPollTimer, this);
  // Inside a button handler GDK's thread lock is held (event dispatch takes
  // it): give it back while waiting, as gtk_dialog_run does, so that the
  // window's events can be dispatched. In silent mode nothing holds it.
  const bool insideEventHandler = !m_silent;
  if (insideEventHandler) gdk_threads_leave();
  g_main_loop_run(m_copyLoop);
  if (insideEventHandler) gdk_threads_enter();
  g_main_loop_unref(m_copyLoop);
  m_copyLoop = nullptr;
  if (StopRequested()) EndAfterStop(false);

  if (m_outcome.code != 0) {
    ShowMessageBox(this, m_outcome.text, kMessageErrorOk);
    ShowErrorPage();
    return;
  }
  ShowSuccessPage();
  RegisterTargetDirectory();
}

bool CInstallerDlg::WaitForWholeKit() {
  if (!m_sequence.KitProgress().ended) {
    m_copyLoop = g_main_loop_new(nullptr, FALSE);
    g_timeout_add(kPollIntervalMs, &CInstallerDlg::OnKitWaitTimer, this);
    const bool insideEventHandler = !m_silent;
    if (insideEventHandler) gdk_threads_leave();
    g_main_loop_run(m_copyLoop);
    if (insideEventHandler) gdk_threads_enter();
    g_main_loop_unref(m_copyLoop);
    m_copyLoop = nullptr;
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
  // A timer runs without GDK's lock, which the box's own loop gives back
  // and takes again: it is held around the box, as in an event handler.
  gdk_threads_enter();
  self->EndWithKitFailure(verdict);
  gdk_threads_leave();
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
  if (!SetupSequence::IsFinal(status)) return TRUE;
  self->m_outcome = status;
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

void CInstallerDlg::ShowSuccessPage() {
  m_state = PageSuccess;
  if (m_successPage == nullptr) {
    m_successPage = std::make_unique<SuccessFinalPage>(m_fixed, m_pageImage,
                                                       LoadResourceString(IDS_SUCCESS_FINISH));
  }
  SetFinalButtons();
  SwitchPage(m_successPage.get());
}

void CInstallerDlg::ShowErrorPage() {
  if (m_errorPage == nullptr) {
    // The page tells whether the rollback put everything back.
    m_errorPage = std::make_unique<MessagePage>(m_fixed, m_pageImage, FailurePageText(m_outcome));
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
      WideString target = self->m_dirPage->GetEntryText();
      ReplaceAll(target, ForeignSeparator(), PathSeparator());
      if (target.empty()) {
        ShowMessageBox(self, LoadResourceString(IDS_SETUP_EMPTYTARGET), kMessagePlainOk);
        break;
      }
      self->m_sequence.SetTargetDirectory(target);
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
    self->m_sequence.PreventFurtherRuns();
    return;
  }
  self->AskCancel();
}

gboolean CInstallerDlg::OnKeyPress(GtkWidget* /*window*/, GdkEventKey* event, gpointer data) {
  auto* self = static_cast<CInstallerDlg*>(data);
  if (event->keyval != GDK_Escape) return FALSE;
  // While files are copied the window must stay: the copy's outcome is shown
  // on its pages.
  if (self->m_state != PageCopying) self->AskCancel();
  return TRUE;
}

gboolean CInstallerDlg::OnDeleteEvent(GtkWidget* /*window*/, GdkEvent* /*event*/, gpointer data) {
  auto* self = static_cast<CInstallerDlg*>(data);
  // TRUE keeps the window while copying; otherwise GTK destroys it.
  return self->m_state == PageCopying ? TRUE : FALSE;
}

void CInstallerDlg::AskCancel() {
  if (m_confirmCancel && ShowMessageBox(this, LoadResourceString(IDS_ACCEPT_CANCEL),
                                        kMessageQuestionYesNo) != kMessageResultYes) {
    return;
  }
  gtk_widget_destroy(m_window);
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
