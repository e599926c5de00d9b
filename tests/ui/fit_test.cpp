// Every resource text of every language fits the widget that shows it.
//
// The test builds the wizard's real widgets (navigation buttons, the five
// pages) and the real message box in its own Xvfb at 100 dpi with a pinned
// gtkrc (DejaVu Sans 10, tests/ui/fit.gtkrc; WenQuanYi Zen Hei for Chinese),
// puts each text of the resource table into its widget, lets GTK lay the
// window out and measures with Pango what GTK drew. How an id maps to its
// widget, and when the text fits there:
//
// - IDS_WIZARD_BACK, IDS_WIZARD_CANCEL: the Back and Cancel buttons;
//   IDS_WIZARD_NEXT, IDS_WIZARD_FINISH: the Next button, the window's default.
//   The label's layout is no wider than the share of the 80 x 30 button that
//   GTK gives the label, and its glyphs lie inside the button's frame.
// - Wrapped page texts, laid out at the label's 330 pixels (breaking inside a
//   word only where it is longer than a line): no taller than their space,
//   and no word wider than a line.
//     IDS_WELCOME_TITLE, IDS_DEFPRODUCT, IDS_DEFPROVIDER: the welcome text,
//       composed as the dialog does for a kit without names; 250 pixels.
//     IDS_ERROR_FINISH, IDS_CANCEL_FINISH: the error page's text; 250.
//     IDS_ROLLBACK_INCOMPLETE_FINISH: the error page's text after an
//       incomplete rollback, "%1" standing for a backup directory
//       (/tmp/p8stp12/); 250. IDS_ROLLBACK_INCOMPLETE, its error box, with the
//       same directory.
//     IDS_SIGNATURE_UNKNOWNKEY, IDS_SIGNATURE_KEYFILE(_UNSAFE): error boxes,
//       "%1" standing for a key id (E5791A26F6778CEF) or the system key file.
//     IDS_SUCCESS_FINISH, IDS_SUCCESS_WHERE, IDS_SUCCESS_COUNTS: the success text with where
//       the files went and the counts (a long default directory, large
//       counts), down to the check button.
//     IDS_ERROR_REASON_*: the error page's text with the failed path and
//       that reason below it; 250. Also the error box with the same detail.
//     IDS_DESTINATION_PROMPT: the directory prompt, down to the caption.
// - IDS_SUCCESS_OPENDESCR: the check button ends by the window's right edge.
// - IDS_TEMPLATE_CATALOG: the caption ends by the right edge, above the entry.
// - IDS_PROGRESS_START, IDS_INSTALL_FINISH, IDS_PREPARECOPY: the copying
//   page's status ends by the progress bar's end.
// - IDR_MAINFRAME, IDS_TITLE_INSTALLER: the window title, on one line,
//   leaves 100 of the 500 pixels to the window manager's icon and buttons.
// - IDS_ERROR_TARGETSPACE: its error box, with a long directory and sizes.
// - IDS_ACCEPT_CANCEL (question box), IDS_SETUP_EMPTYTARGET and
//   IDS_FULL_PATH_REQUIRED (plain boxes) and
//   every other id, error texts, texts no page shows and ids added later
//   (error box): the box is at most 500 pixels wide and no word is wider
//   than its text's lines.
//
// In every widget no character may lack a glyph. The table is walked as it
// is, so a text added to it is measured too: an id not named above is
// checked as an error message box.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/startup.h"
#include "install/failure_reason.h"
#include "install/install_outcome.h"
#include "setup/success_summary.h"
#include "setup/target_space.h"
#include "resources/resource_table.h"
#include "text/string_ops.h"
#include "text/utf8.h"
#include "ui/dir_select_page.h"
#include "ui/message_box.h"
#include "ui/message_page.h"
#include "ui/private_xvfb.h"
#include "ui/progress_page.h"
#include "ui/success_final_page.h"
#include "ui/wizard_buttons.h"

extern "C" __attribute__((used, visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\n"
         "leak:libfontconfig\nleak:libpango\nleak:libcairo\nleak:libX11\n"
         "leak:libgdk_pixbuf\nleak:libharfbuzz\nleak:libfreetype\n";
}

// glibc's counter of loaded catalogues: raised, gettext looks at LANGUAGE anew.
extern "C" int _nl_msg_cat_cntr;

namespace veskp8 {
namespace {

constexpr int kWizardWidth = 500;
constexpr int kTitleBarReserve = 100;
// A backup directory as the texts of an incomplete rollback name it.
const WideString kBackupExample(u"/tmp/p8stp12/");
// What "%1" stands for in the signature texts: a key id, a trusted-key file.
const WideString kKeyIdExample(u"E5791A26F6778CEF");
const WideString kKeyFileExample(u"/etc/veskp8/trusted-keys");
// A long template directory and a file in it, as the success and error texts
// name them.
const WideString kTargetExample(u"/home/alexandra/.veskp8/Vesk/veskp8/tmplts");
const WideString kFileExample(u"/home/alexandra/.veskp8/Vesk/veskp8/tmplts/Trade/docs/readme.txt");

// Its own X server at 100 dpi, whatever DISPLAY says, and GTK on it with the
// pinned look.
class PinnedXServer : public ::testing::Environment {
 public:
  void SetUp() override {
    pid_ = test::StartPrivateXvfb({"-dpi", "100"});
    ASSERT_GT(pid_, 0) << "Xvfb did not start";
    setenv("GTK2_RC_FILES", VESKP8_SOURCE_DIR "/tests/ui/fit.gtkrc", 1);
    setenv("LC_ALL", "C.UTF-8", 1);  // GTK's texts come from LANGUAGE, set per language
    setenv("NO_AT_BRIDGE", "1", 1);
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
  }
  void TearDown() override { test::StopPrivateXvfb(pid_); }

 private:
  pid_t pid_ = -1;
};
const auto* const kServer = ::testing::AddGlobalTestEnvironment(new PinnedXServer);

// Lets GTK lay out and draw what changed.
void Settle() {
  while (gtk_events_pending()) gtk_main_iteration();
}

struct Measure {
  bool fits = true;
  int used = 0;   // pixels the text needs ...
  int limit = 0;  // ... and has
  std::string why;
};

int UnknownGlyphs(PangoLayout* layout) { return pango_layout_get_unknown_glyphs_count(layout); }

// The widest line when `layout` wraps only between words at `width`.
int WidestWordWrappedLine(PangoLayout* layout, int width) {
  PangoLayout* copy = pango_layout_copy(layout);
  pango_layout_set_wrap(copy, PANGO_WRAP_WORD);
  pango_layout_set_width(copy, width * PANGO_SCALE);
  int widest = 0;
  for (GSList* line = pango_layout_get_lines_readonly(copy); line != nullptr; line = line->next) {
    PangoRectangle logical;
    pango_layout_line_get_pixel_extents(static_cast<PangoLayoutLine*>(line->data), nullptr,
                                        &logical);
    widest = std::max(widest, logical.width);
  }
  g_object_unref(copy);
  return widest;
}

Measure Result(int used, int limit, const std::string& what) {
  Measure m;
  m.used = used;
  m.limit = limit;
  m.fits = used <= limit;
  if (!m.fits) m.why = what + " needs " + std::to_string(used) + " of " + std::to_string(limit);
  return m;
}

Measure And(Measure a, const Measure& b) {
  if (!b.fits) {
    a.fits = false;
    a.why += (a.why.empty() ? "" : "; ") + b.why;
  }
  return a;
}

Measure GlyphsOf(PangoLayout* layout) {
  Measure m = Result(UnknownGlyphs(layout), 0, "characters without a glyph");
  m.used = m.limit = 0;
  return m;
}

// A navigation button: the label's width against what the button leaves it,
// its glyphs against the button's frame.
Measure MeasureButton(GtkWidget* button) {
  GtkWidget* label = gtk_bin_get_child(GTK_BIN(button));
  PangoLayout* layout = gtk_label_get_layout(GTK_LABEL(label));
  PangoRectangle ink, logical;
  pango_layout_get_pixel_extents(layout, &ink, &logical);
  Measure m = Result(logical.width, label->allocation.width, "caption width");
  // Where GtkLabel draws the layout: centred, or at the top when too tall.
  const int top =
      label->allocation.y + std::max((label->allocation.height - label->requisition.height) / 2, 0);
  const int frameTop = button->allocation.y + button->style->ythickness;
  const int frameBottom =
      button->allocation.y + button->allocation.height - button->style->ythickness;
  m = And(m, Result(frameTop - (top + ink.y), 0, "glyphs above the frame"));
  m = And(m, Result(top + ink.y + ink.height, frameBottom, "glyphs below the frame"));
  return And(m, GlyphsOf(layout));
}

// A wrapped page text: its height against `height`, and no word wider than
// the label's lines.
Measure MeasurePageText(GtkWidget* label, int height) {
  PangoLayout* layout = gtk_label_get_layout(GTK_LABEL(label));
  int w = 0, h = 0;
  pango_layout_get_pixel_size(layout, &w, &h);
  Measure m = Result(h, height, "text height");
  m = And(m, Result(WidestWordWrappedLine(layout, label->allocation.width), label->allocation.width,
                    "a word's width"));
  return And(m, GlyphsOf(layout));
}

// A widget of natural size that must end by x = `right` (and, when given,
// above y = `bottom`).
Measure MeasureNatural(GtkWidget* widget, PangoLayout* layout, int right, int bottom = -1) {
  Measure m = Result(widget->allocation.x + widget->allocation.width, right, "right end");
  if (bottom >= 0) {
    m = And(m, Result(widget->allocation.y + widget->allocation.height, bottom, "bottom end"));
  }
  return And(m, GlyphsOf(layout));
}

class TitleOwner final : public CWnd {
 public:
  WideString GetTitle() override { return LoadResourceString(IDR_MAINFRAME); }
};

Measure MeasureMessageBox(const WideString& text, int flags) {
  TitleOwner owner;
  GtkWidget* box = CreateMessageBox(&owner, text, flags);
  gtk_widget_show(box);
  Settle();
  GtkWidget* label = GTK_MESSAGE_DIALOG(box)->label;
  PangoLayout* layout = gtk_label_get_layout(GTK_LABEL(label));
  Measure m = Result(box->allocation.width, kMessageBoxMaxWidth, "box width");
  m = And(m, Result(WidestWordWrappedLine(layout, label->allocation.width), label->allocation.width,
                    "a word's width"));
  m = And(m, GlyphsOf(layout));
  gtk_widget_destroy(box);
  return m;
}

// Every widget of the wizard in one 500 x 360 window, as the dialog builds it.
struct Wizard {
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWidget* fixed = gtk_fixed_new();
  GdkPixbuf* image = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 158, 286);
  GtkWidget* back;
  GtkWidget* next;
  GtkWidget* cancel;
  std::unique_ptr<MessagePage> welcome;
  std::unique_ptr<DirSelectPage> directory;
  std::unique_ptr<ProgressPage> progress;
  std::unique_ptr<SuccessFinalPage> success;
  std::unique_ptr<MessagePage> error;
  GtkWidget* titleLabel = gtk_label_new(nullptr);

  Wizard() {
    // As large as the screen, so that a widget running past the wizard's
    // 500 pixels never makes the window grow: GTK would lay it out anew only
    // once the X server has answered, after Settle has returned.
    gtk_window_set_default_size(GTK_WINDOW(window), 1024, 768);
    gtk_container_add(GTK_CONTAINER(window), fixed);
    back = CreateNavigationButton(fixed, NavigationButton::kBack);
    next = CreateNavigationButton(fixed, NavigationButton::kNext);
    gtk_window_set_default(GTK_WINDOW(window), next);
    cancel = CreateNavigationButton(fixed, NavigationButton::kCancel);
    welcome = std::make_unique<MessagePage>(fixed, image, u"");
    directory = std::make_unique<DirSelectPage>(fixed, image);
    progress = std::make_unique<ProgressPage>(fixed, kWizardWidth - 20);
    success = std::make_unique<SuccessFinalPage>(fixed, image, u"");
    error = std::make_unique<MessagePage>(fixed, image, u"");
    gtk_fixed_put(GTK_FIXED(fixed), titleLabel, 0, 0);
    gtk_widget_show_all(window);
    Settle();
  }
  ~Wizard() {
    gtk_widget_destroy(window);
    g_object_unref(image);
  }
  Wizard(const Wizard&) = delete;
  Wizard& operator=(const Wizard&) = delete;

  // Widget order of the directory page: image, prompt, caption, entry, button.
  GtkWidget* prompt() const { return directory->widgets()[1]; }
  GtkWidget* caption() const { return directory->widgets()[2]; }
  GtkWidget* entry() const { return directory->widgets()[3]; }
  GtkWidget* check() const { return success->widgets()[2]; }

  Measure Button(GtkWidget* button, const std::string& text) {
    gtk_button_set_label(GTK_BUTTON(button), text.c_str());
    Settle();
    return MeasureButton(button);
  }
  Measure Page(MessagePage& page, const WideString& text, int height) {
    page.SetText(text);
    Settle();
    return MeasurePageText(page.text_label(), height);
  }
  Measure Label(GtkWidget* label, const std::string& text, int right, int bottom = -1) {
    gtk_label_set_text(GTK_LABEL(label), text.c_str());
    Settle();
    return MeasureNatural(label, gtk_label_get_layout(GTK_LABEL(label)), right, bottom);
  }

  // The text of `id` (UTF-8 `text`) in the widget the wizard shows it in.
  Measure Fit(const std::string& id, const std::string& text) {
    const WideString wide = Utf8ToWide(text);
    const int pageTop = welcome->text_label()->allocation.y;
    if (id == IDS_WIZARD_BACK) return Button(back, text);
    if (id == IDS_WIZARD_CANCEL) return Button(cancel, text);
    if (id == IDS_WIZARD_NEXT || id == IDS_WIZARD_FINISH) return Button(next, text);
    if (id == IDS_WELCOME_TITLE || id == IDS_DEFPRODUCT || id == IDS_DEFPROVIDER) {
      // As the dialog composes it for a kit that names no product or vendor.
      const WideString message = LoadResourceString(IDS_WELCOME_TITLE) + u" " +
                                 LoadResourceString(IDS_DEFPRODUCT) + u" (" +
                                 LoadResourceString(IDS_DEFPROVIDER) + u").";
      return Page(*welcome, message, welcome->text_label()->allocation.height);
    }
    if (id == IDS_ERROR_FINISH || id == IDS_CANCEL_FINISH)
      return Page(*error, wide, error->text_label()->allocation.height);
    if (id == IDS_ROLLBACK_INCOMPLETE_FINISH) {
      return Page(*error, WithDirectory(wide, kBackupExample),
                  error->text_label()->allocation.height);
    }
    if (id == IDS_ROLLBACK_INCOMPLETE) {
      return MeasureMessageBox(WithDirectory(wide, kBackupExample), kMessageErrorOk);
    }
    if (id == IDS_SIGNATURE_UNKNOWNKEY) {
      return MeasureMessageBox(WithDirectory(wide, kKeyIdExample), kMessageErrorOk);
    }
    if (id == IDS_SIGNATURE_KEYFILE || id == IDS_SIGNATURE_KEYFILE_UNSAFE) {
      return MeasureMessageBox(WithDirectory(wide, kKeyFileExample), kMessageErrorOk);
    }
    if (id == IDS_SUCCESS_FINISH || id == IDS_SUCCESS_WHERE || id == IDS_SUCCESS_COUNTS) {
      InstallCounts counts;
      counts.newFiles = 12345;
      counts.replaced = 678;
      counts.unchanged = 9012;
      return Page(*success, SuccessPageText(counts, kTargetExample),
                  check()->allocation.y - pageTop);
    }
    if (id.rfind("IDS_ERROR_REASON_", 0) == 0) {
      // Both the error page and its box, with the path and this reason.
      const WideString detail = FailureDetail(kFileExample, 0) + u"\n" +
                                WithDirectory(wide, WideString(u"123"));
      const Measure page = Page(*error, LoadResourceString(IDS_ERROR_FINISH) + u"\n\n" + detail,
                                error->text_label()->allocation.height);
      if (!page.fits) return page;
      return MeasureMessageBox(LoadResourceString(IDS_INSTALL_ERROR) + u"\n" + detail,
                               kMessageErrorOk);
    }
    if (id == IDS_ERROR_TARGETSPACE) {
      TargetSpace space;
      space.known = true;
      space.needed = 123456789012;
      space.available = 98765432109;
      return MeasureMessageBox(TargetSpaceMessage(space, kTargetExample), kMessageErrorOk);
    }
    if (id == IDS_FULL_PATH_REQUIRED) return MeasureMessageBox(wide, kMessagePlainOk);
    if (id == IDS_DESTINATION_PROMPT) {
      gtk_label_set_text(GTK_LABEL(prompt()), text.c_str());
      Settle();
      return MeasurePageText(prompt(), caption()->allocation.y - prompt()->allocation.y);
    }
    if (id == IDS_SUCCESS_OPENDESCR) {
      gtk_button_set_label(GTK_BUTTON(check()), text.c_str());
      Settle();
      GtkWidget* label = gtk_bin_get_child(GTK_BIN(check()));
      return MeasureNatural(check(), gtk_label_get_layout(GTK_LABEL(label)), kWizardWidth);
    }
    if (id == IDS_TEMPLATE_CATALOG)
      return Label(caption(), text, kWizardWidth, entry()->allocation.y);
    if (id == IDS_PROGRESS_START || id == IDS_INSTALL_FINISH || id == IDS_PREPARECOPY) {
      GtkWidget* bar = progress->bar();
      return Label(progress->status_label(), text, bar->allocation.x + bar->allocation.width);
    }
    if (id == IDR_MAINFRAME || id == IDS_TITLE_INSTALLER)
      return Label(titleLabel, text, kWizardWidth - kTitleBarReserve);
    if (id == IDS_ACCEPT_CANCEL) return MeasureMessageBox(wide, kMessageQuestionYesNo);
    if (id == IDS_SETUP_EMPTYTARGET) return MeasureMessageBox(wide, kMessagePlainOk);
    return MeasureMessageBox(wide, kMessageErrorOk);
  }
};

// GTK's own texts (Yes, No, OK in the boxes) in the language, as the
// installer sets them.
void UseLanguage(int index) {
  SetCurrentLanguage(index);
  StartupRecord record;
  record.m_languageIndex = index;
  setenv("LANGUAGE", ToolkitLanguage(record).c_str(), 1);
  ++_nl_msg_cat_cntr;
}

TEST(TextFit, EveryTextOfEveryLanguageFitsItsWidget) {
  const int saved = GetCurrentLanguage();
  struct Tightest {
    std::string where;
    int used = 0, limit = 0;
  };
  std::map<std::string, Tightest> tightest;  // by widget group
  int measured = 0;
  for (const auto& [index, language] : GetLanguageList()) {
    UseLanguage(index);
    Wizard wizard;
    for (const auto& [id, text] : language.m_texts) {
      const std::string idText(id.c_str());
      const Measure m = wizard.Fit(idText, text.c_str());
      ++measured;
      EXPECT_TRUE(m.fits) << language.m_code.c_str() << " " << idText << " \"" << text.c_str()
                          << "\": " << m.why;
      std::string group = idText.rfind("IDS_WIZARD_", 0) == 0 ? "buttons" : idText;
      if (idText == IDS_DEFPRODUCT || idText == IDS_DEFPROVIDER) group = IDS_WELCOME_TITLE;
      Tightest& t = tightest[group];
      if (t.where.empty() || m.limit - m.used < t.limit - t.used) {
        t = {std::string(language.m_code.c_str()) + " " + idText + " \"" + text.c_str() + "\"",
             m.used, m.limit};
      }
    }
  }
  SetCurrentLanguage(saved);
  EXPECT_EQ(measured, 23 * static_cast<int>(GetLanguageList().at(kEnglishLanguage).m_texts.size()));
  std::printf("Tightest text per widget (pixels used / available):\n");
  for (const auto& [group, t] : tightest) {
    std::printf("  %-24s %4d / %4d  %s\n", group.c_str(), t.used, t.limit, t.where.c_str());
  }
}

// The measures see what a user sees: the captions and texts the wizard once
// clipped fail them.
TEST(TextFit, ClippedCaptionsAndOverlongTextsFail) {
  const int saved = GetCurrentLanguage();
  UseLanguage(kEnglishLanguage);
  Wizard wizard;
  EXPECT_FALSE(wizard.Fit(IDS_WIZARD_FINISH, "Fertig stellen").fits);
  EXPECT_FALSE(wizard.Fit(IDS_WIZARD_CANCEL, "Abbrechen").fits);
  EXPECT_TRUE(wizard.Fit(IDS_WIZARD_CANCEL, "Abbruch").fits);
  EXPECT_FALSE(
      wizard.Fit(IDS_SUCCESS_OPENDESCR, "Beschreibung des Distributionspakets öffnen").fits);
  std::string tall;
  for (int i = 0; i < 40; ++i) tall += "Sixteen words of text. ";
  EXPECT_FALSE(wizard.Fit(IDS_ERROR_FINISH, tall).fits);
  const std::string longWord = "/home/user/" + std::string(80, 'x') + "/templates";
  EXPECT_FALSE(wizard.Fit(IDS_DESTINATION_PROMPT, "Path: " + longWord).fits);
  // A message box breaks such a word rather than grow past the wizard's
  // width, but the word still does not fit a line.
  const Measure box = wizard.Fit("IDS_SOME_NEW_ERROR", "Kept in " + longWord + ".");
  EXPECT_FALSE(box.fits);
  EXPECT_EQ(box.why.find("box width"), std::string::npos) << box.why;
  SetCurrentLanguage(saved);
}

}  // namespace
}  // namespace veskp8
