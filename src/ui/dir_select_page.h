// DirSelectPage: the template-directory page. The page image, a prompt, the
// caption "Template directory:", an entry of 280 x 30 at (170, 275) and a
// "..." button at (460, 275) that opens a folder chooser.
//
// Widget list order: image, prompt, caption, entry, browse button.
// Ownership and threads as for WizardDialogPage (wizard_dialog_page.h).
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtk/gtk.h>

#include "text/wide_string.h"
#include "ui/wizard_dialog_page.h"

namespace veskp8 {

class DirSelectPage final : public WizardDialogPage {
 public:
  DirSelectPage(GtkWidget* container, GdkPixbuf* image);

  // Does nothing.
  void Activate() override {}

  // The entry's text as a wide string (empty for an empty entry).
  WideString GetEntryText() const;
  // Replaces the entry's text.
  void SetEntryText(const WideString& text);

  // The browse button's "clicked" handler (`page` is the DirSelectPage; does
  // nothing when null): a modal folder chooser; on Open the chosen folder, as
  // GTK gives it, replaces the entry's text; on Cancel the entry is unchanged.
  static void OnBrowse(GtkWidget* button, gpointer page);

  GtkWidget* entry() const { return m_entry; }

 private:
  GtkWidget* m_image;
  GtkWidget* m_entry;
  GtkWidget* m_prompt;
  GtkWidget* m_caption;
  GtkWidget* m_browseButton;
};

}  // namespace veskp8
