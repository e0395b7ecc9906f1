// One X server (Xvfb) with a window manager (openbox) per test program,
// started on first use on a display number Xvfb picks itself, and ended when
// the program ends.
#pragma once

#include <memory>
#include <string>

#include "gui/harness/processes.h"

namespace guitest {

class XSession {
 public:
  // The running session; started on the first call. Fails the calling test
  // (and returns a session with an empty display) when Xvfb cannot start.
  static XSession& Get();
  ~XSession();

  // ":N"
  const std::string& Display() const { return m_display; }
  bool Ready() const { return !m_display.empty(); }

 private:
  XSession();
  std::string m_display;
  std::unique_ptr<Process> m_xvfb;
  std::unique_ptr<Process> m_window_manager;
};

}  // namespace guitest
