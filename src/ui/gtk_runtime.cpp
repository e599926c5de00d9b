// The stubs of ui/gtk_functions.def and the loading that makes them work.
// Compiled with hidden visibility: the stubs stay inside the executable and
// never stand in for GTK's own functions when GTK calls them.
#include "ui/gtk_runtime.h"

#include <X11/Xlib.h>
#include <dlfcn.h>
#include <gtk/gtk.h>

#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace veskp8 {
namespace {

// The library whose dependencies bring in GDK, GdkPixbuf, GObject, GLib, Pango
// and Xlib: every listed function is looked up through it (dlsym searches a
// library and everything it needs).
constexpr char kGtkLibrary[] = "libgtk-x11-2.0.so.0";

enum GtkFunctionIndex : int {
#define VESKP8_GTK(result, name, parameters, arguments) k_##name,
#define VESKP8_GTK_VARIADIC(name) k_##name,
#include "ui/gtk_functions.def"
#undef VESKP8_GTK
#undef VESKP8_GTK_VARIADIC
  kGtkFunctionCount
};

constexpr std::array<const char*, kGtkFunctionCount> kGtkFunctionNames = {
#define VESKP8_GTK(result, name, parameters, arguments) #name,
#define VESKP8_GTK_VARIADIC(name) #name,
#include "ui/gtk_functions.def"
#undef VESKP8_GTK
#undef VESKP8_GTK_VARIADIC
};

// The real functions, by index. Written once, by the first LoadGtkLibraries
// and before any stub can run; read-only afterwards.
std::array<void*, kGtkFunctionCount> g_functions{};

[[noreturn]] void NotLoaded(const char* name) {
  std::fprintf(stderr, "veskp8-setup: %s called before GTK 2 was loaded\n", name);
  std::abort();
}

// The real function of a stub, typed as the stub (`Function` is its pointer
// type, from the header's declaration).
template <typename Function>
Function Real(int index, const char* name) {
  void* const function = g_functions[index];
  if (function == nullptr) NotLoaded(name);
  return reinterpret_cast<Function>(function);
}

bool Load() {
  void* const library = dlopen(kGtkLibrary, RTLD_NOW | RTLD_GLOBAL);
  if (library == nullptr) return false;
  std::array<void*, kGtkFunctionCount> found{};
  for (int i = 0; i < kGtkFunctionCount; ++i) {
    found[i] = dlsym(library, kGtkFunctionNames[i]);
    // An older GTK 2 without one of them: no window, rather than a crash
    // half-way through the wizard.
    if (found[i] == nullptr) return false;
  }
  g_functions = found;
  return true;
}

}  // namespace

bool LoadGtkLibraries() {
  static const bool loaded = Load();
  return loaded;
}

}  // namespace veskp8

// The stubs: the libraries' own names, in the global namespace, with the C
// linkage their headers gave them.
#define VESKP8_GTK(result, name, parameters, arguments)                      \
  extern "C" result name parameters {                                        \
    return veskp8::Real<decltype(&name)>(veskp8::k_##name, #name) arguments; \
  }
#define VESKP8_GTK_VARIADIC(name)
#include "ui/gtk_functions.def"
#undef VESKP8_GTK
#undef VESKP8_GTK_VARIADIC

// The variadic functions, each on a fixed argument list of the real one.

// The text is formatted here, and the real function gets it as "%s" (which is
// what it would have made of the format itself).
extern "C" GtkWidget* gtk_message_dialog_new(GtkWindow* parent, GtkDialogFlags flags,
                                             GtkMessageType type, GtkButtonsType buttons,
                                             const gchar* message_format, ...) {
  const auto real = veskp8::Real<decltype(&gtk_message_dialog_new)>(
      veskp8::k_gtk_message_dialog_new, "gtk_message_dialog_new");
  if (message_format == nullptr) return real(parent, flags, type, buttons, nullptr);
  std::va_list arguments;
  va_start(arguments, message_format);
  gchar* const text = g_strdup_vprintf(message_format, arguments);
  va_end(arguments);
  GtkWidget* const dialog = real(parent, flags, type, buttons, "%s", text);
  g_free(text);
  return dialog;
}

// The dialog without buttons, then its (text, response) pairs up to the
// terminating NULL, added in order as the real function adds them.
extern "C" GtkWidget* gtk_file_chooser_dialog_new(const gchar* title, GtkWindow* parent,
                                                  GtkFileChooserAction action,
                                                  const gchar* first_button_text, ...) {
  const auto real = veskp8::Real<decltype(&gtk_file_chooser_dialog_new)>(
      veskp8::k_gtk_file_chooser_dialog_new, "gtk_file_chooser_dialog_new");
  GtkWidget* const dialog = real(title, parent, action, nullptr);
  std::va_list arguments;
  va_start(arguments, first_button_text);
  for (const gchar* text = first_button_text; text != nullptr;
       text = va_arg(arguments, const gchar*)) {
    const gint response = va_arg(arguments, gint);
    gtk_dialog_add_button(GTK_DIALOG(dialog), text, response);
  }
  va_end(arguments);
  return dialog;
}
