// The host window: one fixed-size window filled by the web view. It runs the
// start of the shell (shared values, content check, local server, entrance
// page, update thread), filters keys and mouse buttons, answers the page's
// WinFun calls and handles close requests. It is the command host of the
// page commands and the window that worker threads talk to.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands/command_host.h"
#include "core/main_window_link.h"
#include "platform/web_window.h"

// Client area: 499 x 302 dialog units of the dialog font (7 x 16 pixels per
// 4 x 8 units at 96 DPI).
inline constexpr int kClientWidth = 499 * 7 / 4;
inline constexpr int kClientHeight = 302 * 16 / 8;

class CMainDlg : public CommandHost, public MainWindowLink, private platform::WebWindowEvents {
 public:
  explicit CMainDlg(bool automation);
  ~CMainDlg() override;

  // The modal run: creates the window, initialises it, runs the main loop
  // until the quit message, then destroys the window. -1 when no display.
  int DoModal();
  // The window while it runs, for the activation request of a later start.
  static CMainDlg* Current();
  // Brings the window (and its open dialog) forward, only while it carries the mark.
  void Activate();

  bool OnInitDialog();
  void OnOK();
  void OnCancel();
  long OnUnzPkgResult(bool ok);

  // CommandHost (main thread).
  void RunPageScript(const std::wstring& statement) override;
  void Navigate(const std::wstring& url) override;
  void EnterReadingMode() override;
  void EnterWindowedMode(bool maximise) override;
  void Minimise() override;
  void ShowMessage(const std::wstring& text, MessageKind kind) override;
  std::optional<std::wstring> ChoosePackageFile() override;

  // MainWindowLink (any thread). After the window has ended, posted and sent
  // work is dropped.
  void Post(std::function<void()> task) override;
  void Send(std::function<void()> task) override;
  void PostUnzipResult(bool ok) override;
  void SendCancel() override;
  void ShowMessageBox(const std::wstring& text, const std::wstring& caption, Icon icon) override;

 private:
  // WebWindowEvents: the message filter, close requests and page calls.
  bool OnKeyDown(platform::Key key) override;
  bool OnKeyUp(platform::Key key) override;
  bool OnButtonDown(platform::MouseButton button, bool repeated) override;
  void OnCloseRequest() override;
  void OnViewClosed() override;
  std::optional<bool> OnWinFun(const std::vector<platform::ScriptValue>& arguments) override;

  // Whether the filter takes `key` from the page (press and release alike).
  static bool IsFilteredKey(platform::Key key);
  void FinishStart();
  void FailStart(const std::wstring& text);
  void EndWindow();

  bool m_bAutomation;
  std::unique_ptr<platform::WebWindow> m_window;
  std::atomic<bool> m_bEnded{false};
};
