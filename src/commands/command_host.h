// What the page commands need from the host window: the program's set-up,
// the book mode, the window's presentation and its dialogs. Every method is
// called on the main thread, inside a page's WinFun call.
#pragma once

#include <optional>
#include <string>

#include "platform/message_box.h"

class MainWindowLink;

// What the commands read of the program's set-up, as the shell computed it
// at start.
struct CommandSettings {
  std::wstring program_folder;       // ends in the platform separator
  std::wstring content_folder_name;  // "Data", or "Deve" in developer mode
  std::wstring port;                 // of the local server
  std::wstring server_url;           // update server: scheme and host, no trailing slash
  std::wstring version;              // the shell's own
  std::wstring config_path;          // full path of config.ini

  // The served content folder, without a trailing separator.
  std::wstring ContentFolder() const { return program_folder + content_folder_name; }
};

// Whether a book is open, and its config.ini key ("" when the open book
// remembers no lesson page).
struct BookMode {
  bool in_book = false;
  std::wstring key;
};

class CommandHost {
 public:
  virtual ~CommandHost() = default;

  virtual CommandSettings Settings() const = 0;
  virtual BookMode Book() const = 0;
  virtual void SetBook(BookMode book) = 0;
  // Records the package the user chose, before its import thread starts.
  virtual void SetPackagePath(const std::wstring& path) = 0;
  // The window as the import thread sees it; null when there is none.
  virtual MainWindowLink* WindowLink() = 0;

  // Runs one statement in the current page (for a WinFun call: before it returns).
  virtual void RunPageScript(const std::wstring& statement) = 0;
  // Navigates the view (no history entry).
  virtual void Navigate(const std::wstring& url) = 0;
  // Reading mode: no caption, maximised.
  virtual void EnterReadingMode() = 0;
  // Windowed mode: caption back, maximised or restored.
  virtual void EnterWindowedMode(bool maximise) = 0;
  virtual void Minimise() = 0;
  // Modal message box owned by the window, captioned with the product name.
  virtual void ShowMessage(const std::wstring& text, platform::MessageIcon icon) = 0;
  // Modal open-file dialog owned by the window; the chosen path, or none on cancel.
  virtual std::optional<std::wstring> ChoosePackageFile() = 0;
};
