// The shell's window: one top-level window filled by one web view, the
// page bridge (window.external.WinFun in every frame of every page, and
// statements run in the page), the input that the shell filters, and the
// presentation modes. Everything here runs on the main thread, and every
// callback of WebWindowEvents is called on it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class Key { kEnter, kEscape, kShift, kF5, kF8, kF9, kOther };
enum class MouseButton { kLeft, kRight, kOther };

// One argument of a page's WinFun call as the script passed it. `text` is
// the script's own text of the value (String(value)) for strings, numbers and
// objects; empty for the others.
struct ScriptValue {
  enum class Kind { kString, kNumber, kBoolean, kUndefined, kNull, kObject };
  Kind kind = Kind::kUndefined;
  std::wstring text;
  bool boolean = false;
};

class WebWindowEvents {
 public:
  virtual ~WebWindowEvents() = default;
  // A key went down in the window. True consumes it: the page never sees it.
  virtual bool OnKeyDown(Key key) = 0;
  // A key went up in the window. True consumes it: the page never sees it.
  virtual bool OnKeyUp(Key key) = 0;
  // A mouse button went down over the page; `repeated` for the second and
  // third press of a double or triple click. True consumes it.
  virtual bool OnButtonDown(MouseButton button, bool repeated) = 0;
  // The close box (or any close request of the window manager).
  virtual void OnCloseRequest() = 0;
  // An automation session closed the view: the window must end now.
  virtual void OnViewClosed() = 0;
  // A page of an allowed origin called WinFun. Statements that RunScript
  // receives during the call run in the page before the call returns. The
  // call's boolean result, or none to make the call throw in the page.
  virtual std::optional<bool> OnWinFun(const std::vector<ScriptValue>& arguments) = 0;
};

struct WebWindowOptions {
  std::wstring title;
  int client_width = 0;
  int client_height = 0;
  // Let WebKitWebDriver drive this view (only when started for it).
  bool automation = false;
};

class WebWindow {
 public:
  // Creates and shows the window (fixed size, close box only, centred, the
  // shell's icon) with an empty view. `events` must outlive the window.
  // Null when no display is available.
  static std::unique_ptr<WebWindow> Create(const WebWindowOptions& options,
                                           WebWindowEvents& events);
  ~WebWindow();
  WebWindow(const WebWindow&) = delete;
  WebWindow& operator=(const WebWindow&) = delete;

  // Developer mode: the Web Inspector is available and the engine may show
  // its own dialogs. Outside it the engine shows none.
  void SetDeveloperMode(bool on);
  // Only documents whose origin ("http://host:port", as the engine writes
  // it) is one of `origins` may call WinFun or receive statements; a call
  // from any other document returns false and runs nothing. None until set.
  void AllowCallsFrom(const std::vector<std::wstring>& origins);
  void Navigate(const std::wstring& url);
  void Reload();
  // Runs one statement in the current page: inside a WinFun call it runs
  // before the call returns, in call order; otherwise in the document current
  // now. Dropped before any document exists and in documents of origins not
  // allowed. Failures are ignored.
  void RunScript(const std::wstring& statement);

  // Reading mode: no caption, maximised (back from the task bar first).
  void SetReadingMode();
  // Windowed mode: caption and fixed size back, maximised (back from the
  // task bar first) or restored and brought forward.
  void SetWindowedMode(bool maximise);
  void Minimise();
  // Brings the window forward: restores it when minimised, presents it, then
  // presents its open modal dialog, if any.
  void Present();

  // The running-instance mark (the window property of the same name).
  void SetMark(bool on);
  bool HasMark() const;

  struct Impl;

 private:
  explicit WebWindow(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
