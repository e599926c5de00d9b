// The wizard's pages and the message box, in-process in a private Xvfb: the
// layout table (positions, sizes, widget order), texts and states, and the
// message box's kinds, buttons, title and answers.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "text/conversion.h"
#include "text/utf8.h"
#include "ui/dir_select_page.h"
#include "ui/message_box.h"
#include "ui/message_page.h"
#include "ui/private_xvfb.h"
#include "ui/progress_page.h"
#include "ui/success_final_page.h"

// GTK's and fontconfig's one-time allocations are theirs, not leaks of ours
// (the same list as tests/lsan.supp, so the test also passes when run alone).
extern "C" __attribute__((used, visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\n"
         "leak:libfontconfig\nleak:libpango\nleak:libcairo\nleak:libX11\n"
         "leak:libgdk_pixbuf\n";
}

namespace veskp8 {
namespace {

// Starts Xvfb on a free display for the whole test program (unless the
// environment already names a display) and initialises GTK on it.
class XServer : public ::testing::Environment {
 public:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr || *std::getenv("DISPLAY") == '\0') {
      pid_ = test::StartPrivateXvfb();
      ASSERT_GT(pid_, 0) << "Xvfb did not start";
    }
    setenv("NO_AT_BRIDGE", "1", 1);
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
  }
  void TearDown() override { test::StopPrivateXvfb(pid_); }

 private:
  pid_t pid_ = -1;
};
const auto* const kXServer = ::testing::AddGlobalTestEnvironment(new XServer);

// A fixed container in a window, as the installer dialog has it.
struct Frame {
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWidget* fixed = gtk_fixed_new();
  GdkPixbuf* image = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 158, 286);
  Frame() { gtk_container_add(GTK_CONTAINER(window), fixed); }
  ~Frame() {
    gtk_widget_destroy(window);
    g_object_unref(image);
  }
  struct Place {
    int x, y, w, h;
    bool operator==(const Place&) const = default;
  };
  Place PlaceOf(GtkWidget* widget) const {
    Place p{};
    gtk_container_child_get(GTK_CONTAINER(fixed), widget, "x", &p.x, "y", &p.y, nullptr);
    gtk_widget_get_size_request(widget, &p.w, &p.h);
    return p;
  }
};

std::string LabelText(GtkWidget* label) { return gtk_label_get_text(GTK_LABEL(label)); }

TEST(Pages, MessagePageLayoutAndText) {
  Frame f;
  MessagePage page(f.fixed, f.image, u"Welcome 100% (Vendor).");
  ASSERT_EQ(page.widgets().size(), 2u);
  GtkWidget* image = page.widgets()[0];
  EXPECT_TRUE(GTK_IS_IMAGE(image));
  EXPECT_EQ(f.PlaceOf(image), (Frame::Place{0, 0, -1, -1}));
  EXPECT_EQ(page.widgets()[1], page.text_label());
  EXPECT_EQ(f.PlaceOf(page.text_label()), (Frame::Place{170, 10, 330, 250}));
  EXPECT_TRUE(gtk_label_get_line_wrap(GTK_LABEL(page.text_label())));
  float ax = -1, ay = -1;
  gtk_misc_get_alignment(GTK_MISC(page.text_label()), &ax, &ay);
  EXPECT_EQ(ax, 0.0f);
  EXPECT_EQ(ay, 0.0f);
  EXPECT_EQ(LabelText(page.text_label()), "Welcome 100% (Vendor).");
  // Created hidden: the dialog shows them.
  for (GtkWidget* w : page.widgets()) EXPECT_FALSE(gtk_widget_get_visible(w));
  page.SetText(u"Other");
  EXPECT_EQ(LabelText(page.text_label()), "Other");
}

TEST(Pages, SuccessPageCheckButtonIsTicked) {
  Frame f;
  SuccessFinalPage page(f.fixed, f.image, u"Configuration installed successfully.");
  ASSERT_EQ(page.widgets().size(), 3u);
  GtkWidget* check = page.widgets()[2];
  EXPECT_TRUE(GTK_IS_CHECK_BUTTON(check));
  // Below the text's area, which the directory and the counts may fill.
  EXPECT_EQ(f.PlaceOf(check), (Frame::Place{170, 270, -1, -1}));
  EXPECT_EQ(std::string(gtk_button_get_label(GTK_BUTTON(check))),
            "Open description of distribution package");
  EXPECT_TRUE(page.IsOpenDescriptionChecked());
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(check), FALSE);
  EXPECT_FALSE(page.IsOpenDescriptionChecked());
}

TEST(Pages, DirectoryPageLayoutAndEntry) {
  Frame f;
  DirSelectPage page(f.fixed, f.image);
  const auto& w = page.widgets();
  ASSERT_EQ(w.size(), 5u);
  EXPECT_TRUE(GTK_IS_IMAGE(w[0]));
  EXPECT_EQ(f.PlaceOf(w[1]), (Frame::Place{170, 10, 330, 250}));
  EXPECT_EQ(LabelText(w[1]),
            "Specify path to template directory. The installation program will install "
            "templates and configuration files to the specified directory.");
  EXPECT_EQ(f.PlaceOf(w[2]), (Frame::Place{170, 255, -1, -1}));
  EXPECT_EQ(LabelText(w[2]), "Template directory:");
  EXPECT_EQ(w[3], page.entry());
  EXPECT_EQ(f.PlaceOf(w[3]), (Frame::Place{170, 275, 280, 30}));
  EXPECT_EQ(f.PlaceOf(w[4]), (Frame::Place{460, 275, 30, 30}));
  EXPECT_EQ(std::string(gtk_button_get_label(GTK_BUTTON(w[4]))), "...");

  EXPECT_TRUE(page.GetEntryText().empty());
  const WideString path = u"/home/u/my tmpl/Шаблоны";
  page.SetEntryText(path);
  EXPECT_EQ(page.GetEntryText(), path);
  EXPECT_EQ(std::string(gtk_entry_get_text(GTK_ENTRY(page.entry()))),
            "/home/u/my tmpl/Шаблоны");  // UTF-8 for GTK, whatever the locale
  // A byte that the locale could not decode (kept as the unit 0xDCF6) has
  // no UTF-8 form: the entry shows U+FFFD, and while it is unchanged the
  // page gives back the exact path; an edited entry gives the edited text.
  const WideString odd = u"/home/h\xDCF6me/t";
  page.SetEntryText(odd);
  EXPECT_EQ(std::string(gtk_entry_get_text(GTK_ENTRY(page.entry()))), "/home/h\uFFFDme/t");
  EXPECT_EQ(page.GetEntryText(), odd);
  gtk_entry_set_text(GTK_ENTRY(page.entry()), "/home/h\uFFFDme/t2");
  EXPECT_EQ(page.GetEntryText(), WideString(u"/home/h\uFFFDme/t2"));
  // The browse handler ignores a null page.
  DirSelectPage::OnBrowse(w[4], nullptr);
}

TEST(Pages, ProgressPageTextsAndBar) {
  Frame f;
  ProgressPage page(f.fixed, 480);
  ASSERT_EQ(page.widgets().size(), 3u);
  EXPECT_EQ(f.PlaceOf(page.status_label()), (Frame::Place{10, 130, -1, -1}));
  EXPECT_EQ(f.PlaceOf(page.file_label()), (Frame::Place{10, 180, -1, -1}));
  EXPECT_EQ(f.PlaceOf(page.bar()), (Frame::Place{10, 150, 480, 20}));
  auto fraction = [&] { return gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(page.bar())); };
  EXPECT_EQ(LabelText(page.status_label()), "Files being copied...");
  EXPECT_EQ(fraction(), 0.0);
  page.Update(99);
  EXPECT_EQ(LabelText(page.status_label()), "Files being copied...");
  EXPECT_DOUBLE_EQ(fraction(), 0.99);
  page.Update(100);
  EXPECT_EQ(LabelText(page.status_label()), "Copying complete...");
  EXPECT_EQ(fraction(), 1.0);
  page.Update(0);
  EXPECT_EQ(LabelText(page.status_label()), "Files being copied...");
  EXPECT_EQ(fraction(), 0.0);
  // The file being copied: whole when it fits, else its middle gives way to
  // "…" and the label stays within the bar's 480 pixels.
  page.ShowFile(u"Trade/docs/readme.txt");
  EXPECT_EQ(LabelText(page.file_label()), "Trade/docs/readme.txt");
  const std::string deep = "Trade/" + std::string(200, 'd') + "/end-of-name.bin";
  page.ShowFile(Utf8ToWide(deep));
  const std::string shown = LabelText(page.file_label());
  EXPECT_TRUE(shown.starts_with("Trade/dd")) << shown;
  EXPECT_TRUE(shown.ends_with("d/end-of-name.bin")) << shown;
  EXPECT_NE(shown.find("\u2026"), std::string::npos) << shown;
  GtkRequisition size = {};
  gtk_widget_size_request(page.file_label(), &size);
  EXPECT_LE(size.width, 480);
  EXPECT_GT(size.width, 400) << "as much of the name as fits";
}

class Owner : public CWnd {
 public:
  WideString GetTitle() override { return u"Installing configuration"; }
};

// What the box looked like, and the answer given to it.
struct Seen {
  int kind = -1;
  std::vector<int> responses;
  std::string title;
  std::string text;
  int answer = GTK_RESPONSE_NONE;
};

GtkWidget* FindMessageDialog() {
  GList* windows = gtk_window_list_toplevels();
  GtkWidget* found = nullptr;
  for (GList* l = windows; l != nullptr; l = l->next) {
    if (GTK_IS_MESSAGE_DIALOG(l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data))) {
      found = GTK_WIDGET(l->data);
    }
  }
  g_list_free(windows);
  return found;
}

gboolean InspectAndAnswer(gpointer data) {
  auto* seen = static_cast<Seen*>(data);
  GtkWidget* box = FindMessageDialog();
  if (box == nullptr) return TRUE;  // not shown yet
  GtkMessageType kind;
  gchar* text = nullptr;
  g_object_get(box, "message-type", &kind, "text", &text, nullptr);
  seen->kind = kind;
  seen->text = text != nullptr ? text : "";
  g_free(text);
  const gchar* title = gtk_window_get_title(GTK_WINDOW(box));
  seen->title = title != nullptr ? title : "";
  GList* buttons =
      gtk_container_get_children(GTK_CONTAINER(gtk_dialog_get_action_area(GTK_DIALOG(box))));
  for (GList* l = buttons; l != nullptr; l = l->next) {
    seen->responses.push_back(
        gtk_dialog_get_response_for_widget(GTK_DIALOG(box), GTK_WIDGET(l->data)));
  }
  g_list_free(buttons);
  gtk_dialog_response(GTK_DIALOG(box), seen->answer);
  return FALSE;
}

Seen Show(CWnd* owner, const WideString& text, int flags, int answer) {
  Seen seen;
  seen.answer = answer;
  g_timeout_add(20, InspectAndAnswer, &seen);
  const int result = ShowMessageBox(owner, text, flags);
  seen.answer = result;  // the mapped result, for the caller
  return seen;
}

TEST(MessageBox, KindsButtonsAndTitle) {
  Owner owner;
  Seen error = Show(&owner, u"Installation error", kMessageErrorOk, GTK_RESPONSE_OK);
  EXPECT_EQ(error.kind, GTK_MESSAGE_ERROR);
  EXPECT_EQ(error.responses, std::vector<int>{GTK_RESPONSE_OK});
  EXPECT_EQ(error.title, "Installing configuration");
  EXPECT_EQ(error.answer, kMessageResultOk);

  Seen question = Show(&owner, u"Cancel?", kMessageQuestionYesNo, GTK_RESPONSE_YES);
  EXPECT_EQ(question.kind, GTK_MESSAGE_QUESTION);
  EXPECT_EQ(question.responses.size(), 2u);
  EXPECT_EQ(question.answer, kMessageResultYes);
  EXPECT_EQ(Show(&owner, u"Cancel?", kMessageQuestionYesNo, GTK_RESPONSE_NO).answer,
            kMessageResultNo);
  // Closed by the window manager, or any other response: 0.
  EXPECT_EQ(Show(&owner, u"Cancel?", kMessageQuestionYesNo, GTK_RESPONSE_DELETE_EVENT).answer,
            kMessageResultNone);
  EXPECT_EQ(Show(&owner, u"x", kMessagePlainOk, GTK_RESPONSE_CLOSE).answer, kMessageResultNone);
  EXPECT_EQ(Show(&owner, u"x", kMessagePlainOk, GTK_RESPONSE_CANCEL).answer, kMessageResultNone);

  Seen plain = Show(&owner, u"Specify", kMessagePlainOk, GTK_RESPONSE_OK);
  EXPECT_EQ(plain.kind, GTK_MESSAGE_OTHER);
  EXPECT_EQ(plain.responses, std::vector<int>{GTK_RESPONSE_OK});
}

TEST(MessageBox, OddFlagsTextAndNoOwner) {
  Seen yes_no = Show(nullptr, u"50% done %s %d", 0x00000002, GTK_RESPONSE_YES);
  EXPECT_EQ(yes_no.kind, GTK_MESSAGE_OTHER);
  EXPECT_EQ(yes_no.responses.size(), 2u);
  EXPECT_EQ(yes_no.text, "50% done %s %d");  // shown literally
  EXPECT_NE(yes_no.title, "Installing configuration");

  Seen odd_kind = Show(nullptr, u"x", 0x03000001, GTK_RESPONSE_OK);
  EXPECT_EQ(odd_kind.kind, GTK_MESSAGE_OTHER);
  EXPECT_EQ(odd_kind.responses, std::vector<int>{GTK_RESPONSE_OK});
}

}  // namespace
}  // namespace veskp8
