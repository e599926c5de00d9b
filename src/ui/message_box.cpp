#include "ui/message_box.h"

#include <gtk/gtk.h>

#include "text/conversion.h"

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

int ShowMessageBox(CWnd* owner, const WideString& text, int flags) {
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

  const NarrowString message = WideToLocale(text);
  GtkWidget* box =
      gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, kind, buttons, "%s", message.c_str());
  if (owner != nullptr) {
    const NarrowString title = WideToLocale(owner->GetTitle());
    gtk_window_set_title(GTK_WINDOW(box), title.c_str());
  }
  // The box has no parent window; centre it so that it is seen over the
  // wizard, which is centred too.
  gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
  const int result = MessageBoxResult(gtk_dialog_run(GTK_DIALOG(box)));
  gtk_widget_destroy(box);
  return result;
}

}  // namespace veskp8
