// WizardDialogPage: the base of the wizard's pages. A page is a set of
// widgets placed at fixed coordinates in the installer window's GtkFixed
// container; it never has a window or container of its own. Each page creates
// its widgets once (hidden), in its constructor, and lists them in creation
// order so that the dialog can hide one page and show another by walking the
// lists.
//
// Ownership: the widgets belong to the container and live until the process
// ends; the page objects belong to the installer dialog, which deletes each
// through its own class (no virtual destructor, never deleted through the
// base). Threads: main (GTK) thread only.
#pragma once

#include <gtk/gtk.h>

#include <vector>

namespace veskp8 {

class WizardDialogPage {
 public:
  explicit WizardDialogPage(GtkWidget* container) : m_container(container) {}
  WizardDialogPage(const WizardDialogPage&) = delete;
  WizardDialogPage& operator=(const WizardDialogPage&) = delete;

  // Called by the dialog after the page's widgets were shown. Does nothing
  // here.
  virtual void Activate() {}

  // Every widget the page created, in creation order.
  const std::vector<GtkWidget*>& widgets() const { return m_widgets; }
  GtkWidget* container() const { return m_container; }

 protected:
  ~WizardDialogPage() = default;
  void AddWidget(GtkWidget* widget) { m_widgets.push_back(widget); }
  // Lists `widget` and puts it at (x, y) in the container, with a size
  // request when a width and height are given (natural size otherwise).
  void PutWidget(GtkWidget* widget, int x, int y, int width = -1, int height = -1) {
    AddWidget(widget);
    if (width >= 0 && height >= 0) gtk_widget_set_size_request(widget, width, height);
    gtk_fixed_put(GTK_FIXED(m_container), widget, x, y);
  }

  GtkWidget* m_container;
  std::vector<GtkWidget*> m_widgets;
};

// A wrapping text label of 330 x 250 pixels at (170, 10) in `container`,
// aligned top left, without text; the container owns it. Lines break between
// words, and inside a word only when it is longer than a line.
GtkWidget* CreateTextLabel(GtkWidget* container);

}  // namespace veskp8
