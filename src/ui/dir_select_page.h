// DirSelectPage: the template-directory page. The page image, a prompt, the
// caption "Template directory:", an entry of 280 x 30 at (170, 275) and a
// "..." button at (460, 275) that opens a folder chooser. Enter in the entry
// is Next.
//
// Widget list order: image, prompt, caption, entry, browse button.
// Ownership and threads as for WizardDialogPage (wizard_dialog_page.h).
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtk/gtk.h>

#include "text/narrow_string.h"
#include "text/wide_string.h"
#include "ui/wizard_dialog_page.h"

namespace veskp8 {

class DirSelectPage final : public WizardDialogPage {
 public:
  DirSelectPage(GtkWidget* container, GdkPixbuf* image);

  // Puts the focus into the entry with its text selected (Enter there
  // presses the window's default button, Next).
  void Activate() override;

  // The entry's text as a wide string (empty for an empty entry). While the
  // entry still shows what SetEntryText put there, that exact text, also
  // when parts of it have no UTF-8 form (shown as U+FFFD); after an edit, the
  // entry's UTF-8 text decoded.
  WideString GetEntryText() const;
  // Replaces the entry's text (shown as UTF-8) and remembers it exactly.
  void SetEntryText(const WideString& text);

  // The browse button's "clicked" handler (`page` is the DirSelectPage; does
  // nothing when null): a modal folder chooser, titled with the directory
  // label's text (without its colon), transient for the button's window, and
  // open at the entry's directory or its nearest existing parent ("~" is the
  // home directory; a relative text leaves GTK's default); on Open the chosen folder
  // (its on-disk name, decoded with the locale like every path) replaces the
  // entry's text as SetEntryText does; on Cancel the entry is unchanged.
  static void OnBrowse(GtkWidget* button, gpointer page);

  GtkWidget* entry() const { return m_entry; }

 private:
  GtkWidget* m_image;
  GtkWidget* m_entry;
  GtkWidget* m_prompt;
  GtkWidget* m_caption;
  GtkWidget* m_browseButton;
  WideString m_entryPath;     // the text SetEntryText set, exactly
  NarrowString m_entryShown;  // ... and how the entry shows it
};

}  // namespace veskp8
