// ui_probe: small X helpers for the wizard tests, for what xdotool cannot do.
//
//   ui_probe clipboard     prints the CLIPBOARD text (empty when none)
//   ui_probe close WINDOW  asks WINDOW to close the way a window manager's
//                          close button does (WM_DELETE_WINDOW)
//
// Exit status 0 on success, 1 on failure, 2 on wrong usage.
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 2 || !gtk_init_check(&argc, &argv)) return 2;
  if (std::strcmp(argv[1], "clipboard") == 0) {
    gchar* text = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
    if (text != nullptr) {
      std::fputs(text, stdout);
      g_free(text);
    }
    return 0;
  }
  if (std::strcmp(argv[1], "close") == 0 && argc == 3) {
    Display* display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = static_cast<Window>(std::strtoul(argv[2], nullptr, 0));
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
    XSync(display, False);
    return sent != 0 ? 0 : 1;
  }
  return 2;
}
