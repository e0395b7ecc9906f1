// The open-file dialog as GtkFileChooserDialog.
#include "platform/file_dialog.h"

#include <cwctype>

#include "platform/fs.h"
#include "platform/gtk_shared.h"
#include "platform/utf8.h"

namespace platform {
namespace {

// "*.[vV][kK][pP]": GTK's patterns match case-sensitively.
std::string AnyCasePattern(const std::wstring& extension) {
  std::wstring pattern = L"*";
  for (wchar_t c : extension) {
    if (std::iswalpha(c)) {
      pattern += L'[';
      pattern += static_cast<wchar_t>(std::towlower(c));
      pattern += static_cast<wchar_t>(std::towupper(c));
      pattern += L']';
    } else {
      pattern += c;
    }
  }
  return Utf8Encode(pattern);
}

bool HasExtension(const std::wstring& path, const std::wstring& extension) {
  if (path.size() < extension.size()) return false;
  for (std::size_t i = 0; i < extension.size(); ++i) {
    wchar_t a = path[path.size() - extension.size() + i];
    if (std::towlower(a) != std::towlower(extension[i])) return false;
  }
  return true;
}

GtkWidget* NewChooser(const std::wstring& title, const std::wstring& filter_name,
                      const std::wstring& extension, const std::wstring& start_dir) {
  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      Utf8Encode(title).c_str(), gtk_shared::MainWindow(), GTK_FILE_CHOOSER_ACTION_OPEN,
      "_Cancel", GTK_RESPONSE_CANCEL, "_Open", GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  GtkFileFilter* filter = gtk_file_filter_new();
  gtk_file_filter_set_name(filter, Utf8Encode(filter_name).c_str());
  gtk_file_filter_add_pattern(filter, AnyCasePattern(extension).c_str());
  gtk_file_chooser_add_filter(chooser, filter);
  gtk_file_chooser_set_local_only(chooser, TRUE);
  if (!start_dir.empty() && IsDirectory(start_dir))
    gtk_file_chooser_set_current_folder(chooser, ToFsName(start_dir).c_str());
  return dialog;
}

}  // namespace

std::optional<std::wstring> ShowOpenFileDialog(const std::wstring& title,
                                                const std::wstring& filter_name,
                                                const std::wstring& extension,
                                                const std::wstring& start_dir) {
  if (!gtk_shared::EnsureGtk()) return std::nullopt;
  GtkWidget* dialog = NewChooser(title, filter_name, extension, start_dir);
  std::optional<std::wstring> chosen;
  // A typed name may not exist or may not match: ask again rather than accept it.
  while (gtk_shared::RunDialog(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
    std::wstring path = name != nullptr ? FromFsName(name) : std::wstring();
    g_free(name);
    if (!path.empty() && PathExists(path) && !IsDirectory(path) && HasExtension(path, extension)) {
      chosen = path;
      break;
    }
  }
  gtk_widget_destroy(dialog);
  return chosen;
}

}  // namespace platform
