// ProgressPage: the copying page. A status label at (10, 130), a progress
// bar of (bar width) x 20 at (10, 150) and, under it at (10, 180), the name
// of the file being copied, shortened in its middle to the bar's width; no
// image. The two status texts are
// fixed at construction in the language current then.
//
// Ownership and threads as for WizardDialogPage (wizard_dialog_page.h).
#pragma once

#include <gtk/gtk.h>

#include "text/narrow_string.h"
#include "text/wide_string.h"
#include "ui/wizard_dialog_page.h"

namespace veskp8 {

class ProgressPage final : public WizardDialogPage {
 public:
  // Status "Files being copied...", bar empty.
  ProgressPage(GtkWidget* container, int bar_width);

  // Status "Copying complete..." when `percent` is exactly 100, otherwise
  // "Files being copied..."; the bar shows percent / 100.
  void Update(int percent);
  // Shows `name` (the file being copied; empty: none) under the bar, with
  // "…" in place of its middle when it is wider than the bar.
  void ShowFile(const WideString& name);

  GtkWidget* status_label() const { return m_status; }
  GtkWidget* bar() const { return m_bar; }
  GtkWidget* file_label() const { return m_file; }

 private:
  GtkWidget* m_status;
  GtkWidget* m_bar;
  GtkWidget* m_file;
  int m_fileWidth = 0;
  WideString m_fileShown;  // the name last given to ShowFile
  NarrowString m_startText;   // UTF-8, for GTK
  NarrowString m_finishText;  // UTF-8, for GTK
};

}  // namespace veskp8
