// The wizard pages: MessagePage, SuccessFinalPage, DirSelectPage and
// ProgressPage, and the navigation buttons, with the layout of the 500 x 360
// wizard window.
#include <gtk/gtk.h>

#include "resources/resource_table.h"
#include "setup/target_path.h"
#include "text/conversion.h"
#include "text/middle_ellipsis.h"
#include "ui/dir_select_page.h"
#include "ui/message_page.h"
#include "ui/progress_page.h"
#include "ui/success_final_page.h"
#include "ui/ui_text.h"
#include "ui/wizard_buttons.h"

namespace veskp8 {
namespace {

// Layout of the page area (above the separator at y = 310).
constexpr int kTextX = 170;
constexpr int kTextY = 10;
constexpr int kTextWidth = 330;
constexpr int kTextHeight = 250;
// The check button sits below the text's area: the success text names the
// directory and the counts, which may take most of that area.
constexpr int kCheckY = 270;
constexpr int kCaptionY = 255;
constexpr int kEntryY = 275;
constexpr int kEntryWidth = 280;
constexpr int kEntryHeight = 30;
constexpr int kBrowseX = 460;
constexpr int kBrowseSize = 30;
constexpr int kStatusX = 10;
constexpr int kStatusY = 130;
constexpr int kBarY = 150;
constexpr int kBarHeight = 20;
constexpr int kFileY = 180;

// The navigation buttons below the separator.
constexpr int kBackX = 230;
constexpr int kNextX = 310;
constexpr int kCancelX = 410;
constexpr int kButtonY = 320;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 30;

}  // namespace

GtkWidget* CreateTextLabel(GtkWidget* container) {
  GtkWidget* label = gtk_label_new(nullptr);
  gtk_widget_set_size_request(label, kTextWidth, kTextHeight);
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  // A word longer than a line (a long product name or path) is broken
  // between characters instead of running past the window's edge.
  gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
  gtk_misc_set_alignment(GTK_MISC(label), 0, 0);
  gtk_fixed_put(GTK_FIXED(container), label, kTextX, kTextY);
  return label;
}

MessagePage::MessagePage(GtkWidget* container, GdkPixbuf* image, const WideString& text)
    : WizardDialogPage(container) {
  m_image = gtk_image_new_from_pixbuf(image);
  AddWidget(m_image);
  gtk_container_add(GTK_CONTAINER(container), m_image);
  m_text = CreateTextLabel(container);
  AddWidget(m_text);
  SetText(text);
}

void MessagePage::SetText(const WideString& text) {
  gtk_label_set_text(GTK_LABEL(m_text), GtkText(text).c_str());
}

SuccessFinalPage::SuccessFinalPage(GtkWidget* container, GdkPixbuf* image, const WideString& text)
    : MessagePage(container, image, text) {
  m_openDescription =
      gtk_check_button_new_with_label(ResourceLabel("IDS_SUCCESS_OPENDESCR").c_str());
  AddWidget(m_openDescription);
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(m_openDescription), TRUE);
  gtk_fixed_put(GTK_FIXED(container), m_openDescription, kTextX, kCheckY);
}

bool SuccessFinalPage::IsOpenDescriptionChecked() const {
  return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(m_openDescription)) != FALSE;
}

DirSelectPage::DirSelectPage(GtkWidget* container, GdkPixbuf* image) : WizardDialogPage(container) {
  m_image = gtk_image_new_from_pixbuf(image);
  AddWidget(m_image);
  gtk_container_add(GTK_CONTAINER(container), m_image);

  m_prompt = CreateTextLabel(container);
  AddWidget(m_prompt);
  gtk_label_set_text(GTK_LABEL(m_prompt), ResourceLabel("IDS_DESTINATION_PROMPT").c_str());

  m_caption = gtk_label_new(ResourceLabel("IDS_TEMPLATE_CATALOG").c_str());
  PutWidget(m_caption, kTextX, kCaptionY);

  m_entry = gtk_entry_new();
  PutWidget(m_entry, kTextX, kEntryY, kEntryWidth, kEntryHeight);
  // Enter in the entry is Next (the window's default button).
  gtk_entry_set_activates_default(GTK_ENTRY(m_entry), TRUE);

  m_browseButton = gtk_button_new_with_label("...");
  PutWidget(m_browseButton, kBrowseX, kEntryY, kBrowseSize, kBrowseSize);
  g_signal_connect(m_browseButton, "clicked", G_CALLBACK(&DirSelectPage::OnBrowse), this);
}

WideString DirSelectPage::GetEntryText() const {
  const gchar* text = gtk_entry_get_text(GTK_ENTRY(m_entry));
  if (text == nullptr) return WideString();
  // Unchanged since SetEntryText: the exact path, even where it has no UTF-8
  // form (a file name's bytes that the locale cannot decode).
  if (m_entryShown == text) return m_entryPath;
  return FromGtkText(text);
}

void DirSelectPage::SetEntryText(const WideString& text) {
  m_entryPath = text;
  m_entryShown = GtkText(text);
  gtk_entry_set_text(GTK_ENTRY(m_entry), m_entryShown.c_str());
}

void DirSelectPage::Activate() {
  // Ready to type over: the focus in the entry, its text selected.
  gtk_widget_grab_focus(m_entry);
  gtk_editable_select_region(GTK_EDITABLE(m_entry), 0, -1);
}

static NarrowString ChooserTitle() {
  // The directory label's text without its closing colon.
  WideString title = ResourceText(IDS_TEMPLATE_CATALOG);
  while (!title.empty() &&
         (title.back() == u':' || title.back() == u'\uFF1A' || title.back() == u' ')) {
    title.erase(title.size() - 1);
  }
  return GtkText(title);
}

void DirSelectPage::OnBrowse(GtkWidget* button, gpointer data) {
  auto* page = static_cast<DirSelectPage*>(data);
  if (page == nullptr) return;
  GtkWidget* wizard = button != nullptr ? gtk_widget_get_toplevel(button) : nullptr;
  GtkWidget* chooser = gtk_file_chooser_dialog_new(
      ChooserTitle().c_str(), GTK_IS_WINDOW(wizard) ? GTK_WINDOW(wizard) : nullptr,
      GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, GTK_STOCK_CANCEL, GTK_RESPONSE_CANCEL, GTK_STOCK_OPEN,
      GTK_RESPONSE_ACCEPT, nullptr);
  gtk_window_set_modal(GTK_WINDOW(chooser), TRUE);
  // Opens where the entry points (or its nearest existing parent), not at
  // "Recently used".
  const TargetPath typed = InterpretTargetPath(page->GetEntryText(), HomeDirectory());
  NarrowString folder;
  if (typed.kind == TargetPath::Kind::kAbsolute &&
      WideToLocaleChecked(NearestExistingDirectory(typed.path), folder)) {
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), folder.c_str());
  }
  if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
    gchar* folder = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
    if (folder != nullptr) {
      // The chooser gives the name as it is on disk, in the locale's encoding.
      page->SetEntryText(LocaleToWide(folder));
      g_free(folder);
    }
  }
  gtk_widget_destroy(chooser);
}

ProgressPage::ProgressPage(GtkWidget* container, int bar_width) : WizardDialogPage(container) {
  m_status = gtk_label_new(nullptr);
  PutWidget(m_status, kStatusX, kStatusY);

  m_bar = gtk_progress_bar_new();
  PutWidget(m_bar, kStatusX, kBarY, bar_width, kBarHeight);

  m_file = gtk_label_new(nullptr);
  PutWidget(m_file, kStatusX, kFileY);
  m_fileWidth = bar_width;

  m_startText = ResourceLabel("IDS_PROGRESS_START");
  m_finishText = ResourceLabel("IDS_INSTALL_FINISH");
  gtk_label_set_text(GTK_LABEL(m_status), m_startText.c_str());
  gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(m_bar), 0.0);
}

void ProgressPage::ShowFile(const WideString& name) {
  if (name == m_fileShown) return;
  m_fileShown = name;
  // The name's start and end stay; its middle gives way to fit the bar's
  // width in the label's font.
  PangoLayout* layout = gtk_widget_create_pango_layout(m_file, nullptr);
  const WideString shown = MiddleEllipsis(name, m_fileWidth, [layout](const WideString& text) {
    const NarrowString utf8 = GtkText(text);
    pango_layout_set_text(layout, utf8.c_str(), -1);
    int width = 0;
    pango_layout_get_pixel_size(layout, &width, nullptr);
    return width;
  });
  g_object_unref(layout);
  gtk_label_set_text(GTK_LABEL(m_file), GtkText(shown).c_str());
}

void ProgressPage::Update(int percent) {
  const NarrowString& text = percent == 100 ? m_finishText : m_startText;
  gtk_label_set_text(GTK_LABEL(m_status), text.c_str());
  double fraction = percent / 100.0;
  // GTK refuses fractions outside [0, 1] with a warning.
  if (fraction < 0.0) fraction = 0.0;
  if (fraction > 1.0) fraction = 1.0;
  gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(m_bar), fraction);
}

GtkWidget* CreateNavigationButton(GtkWidget* container, NavigationButton which) {
  const char* id = IDS_WIZARD_BACK;
  int x = kBackX;
  if (which == NavigationButton::kNext) id = IDS_WIZARD_NEXT, x = kNextX;
  if (which == NavigationButton::kCancel) id = IDS_WIZARD_CANCEL, x = kCancelX;
  GtkWidget* button = gtk_button_new_with_label(ResourceLabel(id).c_str());
  gtk_widget_set_size_request(button, kButtonWidth, kButtonHeight);
  // The default button draws a frame inside its size: set before measuring.
  if (which == NavigationButton::kNext) gtk_widget_set_can_default(button, TRUE);
  gtk_fixed_put(GTK_FIXED(container), button, x, kButtonY);
  return button;
}

}  // namespace veskp8
