// Xvfb on a free display (-displayfd) plus openbox, for the whole test program.
#include "gui/harness/x_session.h"

#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace guitest {
namespace {

// Reads the display number Xvfb writes once it accepts connections.
std::string ReadDisplayNumber(int fd) {
  std::string number;
  pollfd waiting{fd, POLLIN, 0};
  while (poll(&waiting, 1, 20000) > 0) {
    char c;
    if (read(fd, &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  return number;
}

}  // namespace

XSession& XSession::Get() {
  static XSession session;
  return session;
}

XSession::XSession() {
  int fds[2];
  if (pipe(fds) != 0) return;
  // The write end must reach Xvfb under a known number: keep it open across exec.
  m_xvfb = Process::Start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                           "1280x1024x24", "-nolisten", "tcp", "-noreset"});
  close(fds[1]);
  std::string number = m_xvfb ? ReadDisplayNumber(fds[0]) : std::string();
  close(fds[0]);
  if (number.empty()) {
    ADD_FAILURE() << "Xvfb did not start";
    return;
  }
  m_display = ":" + number;
  m_window_manager = Process::Start({"openbox"}, {{"DISPLAY", m_display}});
  // openbox is ready once it has claimed the root window (_NET_SUPPORTING_WM_CHECK).
  WaitUntil([&] {
    CommandResult r = RunCommand({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"},
                                 {{"DISPLAY", m_display}});
    return r.output.find("window id") != std::string::npos;
  });
}

XSession::~XSession() {
  m_window_manager.reset();
  m_xvfb.reset();
}

}  // namespace guitest
