// SuccessFinalPage: the message page shown after a successful copy, with a
// check button (ticked at first) that asks for the kit's description document
// to be opened on Finish.
//
// Ownership and threads as for WizardDialogPage (wizard_dialog_page.h).
#pragma once

#include "ui/message_page.h"

namespace veskp8 {

class SuccessFinalPage final : public MessagePage {
 public:
  // The message page, plus the check button at (170, 270), below the text, active.
  SuccessFinalPage(GtkWidget* container, GdkPixbuf* image, const WideString& text);

  bool IsOpenDescriptionChecked() const;

 private:
  GtkWidget* m_openDescription;
};

}  // namespace veskp8
