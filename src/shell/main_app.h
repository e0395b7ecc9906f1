// The application object: decides at start whether this is a swap start, a
// second start or the first start, and runs the window for the first.
#pragma once

class CMainApp {
 public:
  // `automation`: started by WebKitWebDriver (--automation) to be driven.
  explicit CMainApp(bool automation) : m_bAutomation(automation) {}

  // The start sequence. Returns false on every path: the process ends when
  // it returns (the first start returns when its window has closed).
  bool InitInstance();

 private:
  bool m_bAutomation;
};
