// Toolkit start, dialog ownership and the stack of open modal dialogs.
#include "platform/gtk_shared.h"

#include <algorithm>
#include <vector>

#include "platform/utf8.h"

namespace platform::gtk_shared {
namespace {

GtkWindow* g_main_window = nullptr;
std::vector<GtkWindow*> g_dialogs;

}  // namespace

bool EnsureGtk() {
  static const bool ready = gtk_init_check(nullptr, nullptr);
  return ready;
}

GtkWindow* MainWindow() { return g_main_window; }
void SetMainWindow(GtkWindow* window) { g_main_window = window; }

void PushDialog(GtkWindow* dialog) { g_dialogs.push_back(dialog); }
void PopDialog(GtkWindow* dialog) {
  g_dialogs.erase(std::remove(g_dialogs.begin(), g_dialogs.end(), dialog), g_dialogs.end());
}
GtkWindow* TopDialog() { return g_dialogs.empty() ? nullptr : g_dialogs.back(); }

int RunDialog(GtkDialog* dialog) {
  GtkWindow* window = GTK_WINDOW(dialog);
  if (g_main_window != nullptr) {
    gtk_window_set_transient_for(window, g_main_window);
    gtk_window_set_position(window, GTK_WIN_POS_CENTER_ON_PARENT);
  } else {
    gtk_window_set_position(window, GTK_WIN_POS_CENTER);
  }
  gtk_window_set_modal(window, TRUE);
  PushDialog(window);
  int response = gtk_dialog_run(dialog);
  PopDialog(window);
  return response;
}

std::string Utf8(const std::wstring& text) { return Utf8Encode(text); }

}  // namespace platform::gtk_shared
