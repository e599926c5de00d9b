// MessagePage: the page image on the left and a wrapped text on the right;
// the wizard's welcome and error pages. SuccessFinalPage extends it.
//
// Ownership and threads as for WizardDialogPage (wizard_dialog_page.h); the
// pixbuf is shared with the dialog and not owned.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtk/gtk.h>

#include "text/wide_string.h"
#include "ui/wizard_dialog_page.h"

namespace veskp8 {

class MessagePage : public WizardDialogPage {
 public:
  // Creates the image (at 0, 0) and the text label (at 170, 10) hidden, and
  // sets the text.
  MessagePage(GtkWidget* container, GdkPixbuf* image, const WideString& text);

  // Replaces the label's text.
  void SetText(const WideString& text);

  GtkWidget* text_label() const { return m_text; }

 protected:
  GtkWidget* m_image;
  GtkWidget* m_text;
};

}  // namespace veskp8
