// What the GTK stand-ins share among themselves: the toolkit start, the
// shell's window as owner of dialogs, and the stack of open modal dialogs
// (so activation can bring the front-most one forward). Main thread only.
#pragma once

#include <gtk/gtk.h>

#include <string>

namespace platform::gtk_shared {

// GTK initialised on this thread; false without a display.
bool EnsureGtk();

// The shell's window, owner of every dialog; null when none exists.
GtkWindow* MainWindow();
void SetMainWindow(GtkWindow* window);

// Open modal dialogs, innermost last.
void PushDialog(GtkWindow* dialog);
void PopDialog(GtkWindow* dialog);
GtkWindow* TopDialog();

// Runs `dialog` modally (tracked as an open dialog) and returns its response.
int RunDialog(GtkDialog* dialog);

std::string Utf8(const std::wstring& text);

}  // namespace platform::gtk_shared
