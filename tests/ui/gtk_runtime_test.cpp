// GTK reached through the installer's stubs (ui/gtk_runtime.h): this program
// links veskp8_gtk_runtime and not GTK, as veskp8-setup does. Before loading,
// a stub ends the process and names itself; after it, the variadic stubs
// build what GTK's own functions build. Functions outside the list are looked
// up in the loaded GTK with dlsym.
#include "ui/gtk_runtime.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "ui/private_xvfb.h"

namespace veskp8 {
namespace {

template <typename Function>
Function Loaded(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_DEFAULT, name));
}

TEST(GtkRuntimeDeathTest, AStubBeforeLoadingEndsTheProcessAndNamesItself) {
  EXPECT_DEATH(gtk_main_quit(), "gtk_main_quit called before GTK 2 was loaded");
}

TEST(GtkRuntime, VariadicStubsBuildWhatGtkBuilds) {
  ASSERT_TRUE(LoadGtkLibraries());
  ASSERT_TRUE(LoadGtkLibraries());  // the first answer, again
  const pid_t xvfb = test::StartPrivateXvfb();
  if (xvfb < 0) GTEST_SKIP() << "no Xvfb";
  int argc = 0;
  char** argv = nullptr;
  ASSERT_TRUE(gtk_init_check(&argc, &argv));

  const auto labelText = Loaded<decltype(&gtk_label_get_text)>("gtk_label_get_text");
  const auto forResponse =
      Loaded<decltype(&gtk_dialog_get_widget_for_response)>("gtk_dialog_get_widget_for_response");
  const auto buttonLabel = Loaded<decltype(&gtk_button_get_label)>("gtk_button_get_label");
  ASSERT_NE(labelText, nullptr);
  ASSERT_NE(forResponse, nullptr);
  ASSERT_NE(buttonLabel, nullptr);

  // The format is applied once: "%%" gives "%", and a "%" in an argument stays.
  const struct {
    GtkWidget* box;
    const char* shown;
  } boxes[] = {
      {gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "%s",
                              "50% done"),
       "50% done"},
      {gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION, GTK_BUTTONS_OK,
                              "%d%% of %s", 7, "/t"),
       "7% of /t"},
  };
  for (const auto& b : boxes) {
    ASSERT_NE(b.box, nullptr);
    EXPECT_STREQ(labelText(GTK_LABEL(GTK_MESSAGE_DIALOG(b.box)->label)), b.shown);
    EXPECT_NE(forResponse(GTK_DIALOG(b.box), GTK_RESPONSE_OK), nullptr);
    gtk_widget_destroy(b.box);
  }

  // Every (text, response) pair becomes a button, up to the NULL.
  GtkWidget* chooser = gtk_file_chooser_dialog_new(
      "Choose", nullptr, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, GTK_STOCK_CANCEL,
      GTK_RESPONSE_CANCEL, GTK_STOCK_OPEN, GTK_RESPONSE_ACCEPT, nullptr);
  ASSERT_NE(chooser, nullptr);
  GtkWidget* cancel = forResponse(GTK_DIALOG(chooser), GTK_RESPONSE_CANCEL);
  GtkWidget* open = forResponse(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
  ASSERT_NE(cancel, nullptr);
  ASSERT_NE(open, nullptr);
  EXPECT_STREQ(buttonLabel(GTK_BUTTON(cancel)), GTK_STOCK_CANCEL);
  EXPECT_STREQ(buttonLabel(GTK_BUTTON(open)), GTK_STOCK_OPEN);
  EXPECT_EQ(forResponse(GTK_DIALOG(chooser), GTK_RESPONSE_OK), nullptr);
  gtk_widget_destroy(chooser);
  test::StopPrivateXvfb(xvfb);
}

}  // namespace
}  // namespace veskp8
