#include "ui/message_box.h"

#include <gtk/gtk.h>

#include "ui/ui_text.h"

namespace veskp8 {

int MessageBoxResult(int gtk_response) {
  switch (gtk_response) {
    case GTK_RESPONSE_YES:
      return kMessageResultYes;
    case GTK_RESPONSE_NO:
      return kMessageResultNo;
    case GTK_RESPONSE_OK:
      return kMessageResultOk;
    default:
      return kMessageResultNone;
  }
}

GtkWidget* CreateMessageBox(CWnd* owner, const WideString& text, int flags) {
  GtkMessageType kind = GTK_MESSAGE_OTHER;
  switch (flags & kMessageKindMask) {
    case kMessageKindError:
      kind = GTK_MESSAGE_ERROR;
      break;
    case kMessageKindQuestion:
      kind = GTK_MESSAGE_QUESTION;
      break;
    default:
      break;
  }
  const GtkButtonsType buttons =
      (flags & kMessageButtonsMask) == kMessageButtonsYesNo ? GTK_BUTTONS_YES_NO : GTK_BUTTONS_OK;

  GtkWidget* box =
      gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, kind, buttons, "%s", GtkText(text).c_str());
  if (owner != nullptr) {
    gtk_window_set_title(GTK_WINDOW(box), GtkText(owner->GetTitle()).c_str());
  }
  // The box has no parent window; centre it so that it is seen over the
  // wizard, which is centred too.
  gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);

  // GTK wraps a long text at a width of its own, which makes a box of about
  // 510 pixels; a path in the text can make it wider still. Narrow the text
  // so that the box is no wider than the wizard, breaking a word only where
  // it is longer than a line.
  GtkWidget* label = GTK_MESSAGE_DIALOG(box)->label;
  gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
  GtkRequisition boxSize = {};
  gtk_widget_size_request(box, &boxSize);
  if (boxSize.width > kMessageBoxMaxWidth) {
    GtkRequisition labelSize = {};
    gtk_widget_size_request(label, &labelSize);
    gtk_widget_set_size_request(label, labelSize.width - (boxSize.width - kMessageBoxMaxWidth), -1);
  }
  return box;
}

int ShowMessageBox(CWnd* owner, const WideString& text, int flags) {
  GtkWidget* box = CreateMessageBox(owner, text, flags);
  const int result = MessageBoxResult(gtk_dialog_run(GTK_DIALOG(box)));
  gtk_widget_destroy(box);
  return result;
}

}  // namespace veskp8
