// The wizard's navigation buttons, 80 x 30 each below the separator:
// Back "< Back" at (230, 320), Next "Next >" at (310, 320), which can be the
// window's default (it becomes Finish on the final pages), and Cancel
// "Cancel" at (410, 320). Main (GTK) thread only.
#pragma once

#include <gtk/gtk.h>

namespace veskp8 {

enum class NavigationButton { kBack, kNext, kCancel };

// Creates the button with its resource text in the current language and puts
// it into `container` (a GtkFixed, which owns it); not shown yet, not
// connected. Next is made able to be the default; making it the window's
// default is the caller's.
GtkWidget* CreateNavigationButton(GtkWidget* container, NavigationButton which);

}  // namespace veskp8
