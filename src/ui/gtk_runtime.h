// GTK 2 loaded at run time, only when a window is to be shown.
//
// The installer's executable does not link GTK, GDK, GdkPixbuf, GLib, GObject,
// Pango or Xlib, so that everything that runs without a window (-Q, --help,
// --version) starts on a machine that has none of them. Instead,
// gtk_runtime.cpp defines every function of theirs that the user interface
// calls, under its own name and with its own declaration: a stub that calls
// the real function through a table. LoadGtkLibraries loads GTK 2 (and with
// it everything GTK needs) and fills the table; the stubs are usable from then
// on. The functions are listed once, in ui/gtk_functions.def, which also says
// how to add one.
//
// The user interface's code calls GTK as usual and needs no change; programs
// that link GTK themselves (the tests, ui_probe) must not link
// veskp8_gtk_runtime as well.
//
// Threads: LoadGtkLibraries on the main thread before any other thread calls
// GTK (in practice: before the first GTK call). Afterwards the stubs follow
// the rules of the functions they stand for.
#pragma once

namespace veskp8 {

// Loads GTK 2 ("libgtk-x11-2.0.so.0" and the libraries it needs, visible to
// the whole process) and finds every function of ui/gtk_functions.def in them.
// Returns whether it could: false when the library is missing, cannot be
// loaded, or lacks one of the functions; then the table stays empty and
// nothing of GTK runs (what was loaded stays loaded). Only the first call
// tries; later calls return its answer. Before a true answer, a call of any
// stub ends the process with abort() after one line on standard error that
// names the function: a fault of the program, never of the machine.
[[nodiscard]] bool LoadGtkLibraries();

}  // namespace veskp8
