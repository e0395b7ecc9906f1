// What the page commands need from the host window. Every method is called on
// the main thread, inside a page's WinFun call.
#pragma once

#include <optional>
#include <string>

class CommandHost {
 public:
  virtual ~CommandHost() = default;

  // Runs one statement in the current page (for a WinFun call: before it returns).
  virtual void RunPageScript(const std::wstring& statement) = 0;
  // Navigates the view (no history entry).
  virtual void Navigate(const std::wstring& url) = 0;
  // Reading mode: no caption, maximised.
  virtual void EnterReadingMode() = 0;
  // Windowed mode: caption back, maximised or restored.
  virtual void EnterWindowedMode(bool maximise) = 0;
  virtual void Minimise() = 0;
  // Modal message box owned by the window, caption g_strProductName.
  enum class MessageKind { kInformation, kError };
  virtual void ShowMessage(const std::wstring& text, MessageKind kind) = 0;
  // Modal open-file dialog owned by the window; the chosen path, or none on cancel.
  virtual std::optional<std::wstring> ChoosePackageFile() = 0;
};
