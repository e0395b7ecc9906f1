// What worker threads (import, update) may ask of the host window. Every
// method may be called from any thread; the implementation hands the work to
// the main thread.
#pragma once

#include <functional>
#include <string>

class MainWindowLink {
 public:
  virtual ~MainWindowLink() = default;

  // Runs `task` on the main thread later (a posted message).
  virtual void Post(std::function<void()> task) = 0;
  // Runs `task` on the main thread and waits until it has run (a sent
  // message). Must not be called on the main thread.
  virtual void Send(std::function<void()> task) = 0;

  // The import result message: the window runs "SetUnzPkg(1);" or "SetUnzPkg(0);".
  virtual void PostUnzipResult(bool ok) = 0;
  // The close command (as the close box), sent and waited for.
  virtual void SendCancel() = 0;
  // A modal message box owned by the window; returns when it is closed.
  enum class Icon { kInformation, kError, kWarning };
  virtual void ShowMessageBox(const std::wstring& text, const std::wstring& caption, Icon icon) = 0;
};
