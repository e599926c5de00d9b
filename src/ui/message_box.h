// The installer's one modal message box, and CWnd, the base of its windows.
//
// ShowMessageBox shows a GTK message dialog with a text, an icon kind and a
// button set chosen by a flags word, waits for the answer in the dialog's own
// nested main loop and returns it as a small integer. It needs no other
// window: the pre-install checks use it before the wizard window exists.
//
// Threads: main (GTK) thread only, after gtk_init.
#pragma once

#include <gtk/gtk.h>

#include "text/wide_string.h"

namespace veskp8 {

// Base of the installer's windows and the owner type of a message box. It has
// no data; a message box asks its owner for the title to show. Objects are
// destroyed through their own type only (no virtual destructor).
class CWnd {
 public:
  // The window's title, shown as the title of message boxes it owns.
  virtual WideString GetTitle() = 0;

 protected:
  CWnd() = default;
  ~CWnd() = default;
  CWnd(const CWnd&) = default;
  CWnd& operator=(const CWnd&) = default;
};

// Flags word: kind in the high byte, buttons in the low byte.
inline constexpr int kMessageKindMask = static_cast<int>(0xFF000000u);
inline constexpr int kMessageKindError = 0x01000000;     // error icon
inline constexpr int kMessageKindQuestion = 0x02000000;  // question icon
// Any other kind value, 0 included, gives a plain box without icon.
inline constexpr int kMessageButtonsMask = 0xFF;
inline constexpr int kMessageButtonsYesNo = 2;
// Any other buttons value gives a single OK button.

// The flags words the installer uses.
inline constexpr int kMessageErrorOk = 0x01000001;
inline constexpr int kMessageQuestionYesNo = 0x02000002;
inline constexpr int kMessagePlainOk = 0x00000001;

// Results.
inline constexpr int kMessageResultNone = 0;  // closed, cancelled, any other answer
inline constexpr int kMessageResultYes = 1;
inline constexpr int kMessageResultNo = 2;
inline constexpr int kMessageResultOk = 3;

// Shows `text` literally (a "%" stays a "%") in a modal box, centred on the
// screen, with the kind and buttons of `flags`. With an owner, the box's title
// is owner->GetTitle(); without one GTK's default title stays. Returns the
// answer: 1 Yes, 2 No, 3 OK, 0 for anything else (the box closed by the window
// manager included). The box is destroyed before the call returns.
int ShowMessageBox(CWnd* owner, const WideString& text, int flags);

// The widest a message box gets, in pixels (the wizard's width): a longer
// text wraps, and a word longer than a line is broken.
inline constexpr int kMessageBoxMaxWidth = 500;

// The box ShowMessageBox shows, built but neither shown nor run; the caller
// owns it (gtk_widget_destroy). The text and title reach GTK as UTF-8.
GtkWidget* CreateMessageBox(CWnd* owner, const WideString& text, int flags);

// The mapping from a GTK response id to the result above.
int MessageBoxResult(int gtk_response);

}  // namespace veskp8
