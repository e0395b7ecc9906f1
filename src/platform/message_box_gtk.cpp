// Message boxes as GtkMessageDialog.
#include "platform/message_box.h"

#include "platform/gtk_shared.h"

namespace platform {

void ShowMessageBox(const std::wstring& text, const std::wstring& caption, MessageIcon icon) {
  if (!gtk_shared::EnsureGtk()) return;
  GtkMessageType type = icon == MessageIcon::kError     ? GTK_MESSAGE_ERROR
                        : icon == MessageIcon::kWarning ? GTK_MESSAGE_WARNING
                                                        : GTK_MESSAGE_INFO;
  GtkWidget* dialog = gtk_message_dialog_new(gtk_shared::MainWindow(), GTK_DIALOG_MODAL, type,
                                             GTK_BUTTONS_OK, "%s", gtk_shared::Utf8(text).c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), gtk_shared::Utf8(caption).c_str());
  gtk_shared::RunDialog(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
}

}  // namespace platform
