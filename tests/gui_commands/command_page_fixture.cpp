#include "command_page_fixture.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace guitest {
namespace {

// Records every page function the shell may call, in order, with its arguments.
const char kRecorderScript[] = R"(
window.received = [];
['SetFun', 'SetBaseInfo', 'SetLocProBar', 'SetUnzPkg', 'ShowMe'].forEach(function (name) {
  window[name] = function () { received.push([name].concat(Array.prototype.slice.call(arguments))); };
});
// A real click runs the script armed last (see RunByClick).
document.addEventListener('click', function () {
  var armed = window.armedCall;
  window.armedCall = null;
  if (armed) armed();
});
window.call = function (command, a1, a2) {
  received.length = 0;
  window.external.WinFun(command, a1, a2, '', '', '');
  return received.slice();
};
)";

std::string RecordingPage(const std::string& title) {
  return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + title +
         "</title><script src=\"/000000/recorder.js\"></script></head><body>" + title +
         "</body></html>";
}

}  // namespace

std::string JsText(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\\' || c == '\'') out += '\\';
    out += c;
  }
  return out + "'";
}

bool CommandPageTest::StartRecordingShell(const std::string& folder) {
  m_folder = Root() + "/" + folder;
  WriteProgramFile("../" + folder + "/tirrel", "");
  WriteContentFile("000000/recorder.js", kRecorderScript);
  WriteContentFile("000000/kvr_entrance.html",
                   "<!DOCTYPE html><script>location.replace('kvr_main.html');</script>");
  WriteContentFile("000000/kvr_main.html", RecordingPage("main"));
  WriteContentFile("7/book.html", RecordingPage("book"));
  InstallShell("../" + folder + "/quillory");
  if (StartDrivenShell("../" + folder + "/quillory") == nullptr) return false;
  if (!WaitForPage("/000000/kvr_main.html")) return false;
  m_window = WaitForWindow("Quillory");
  return !m_window.empty();
}

void CommandPageTest::WriteContentFile(const std::string& relative, const std::string& text) {
  const std::string folder = std::filesystem::path(m_folder).filename().string();
  WriteProgramFile("../" + folder + "/Deve/" + relative, text);
}

std::string CommandPageTest::Call(const std::string& command, const std::string& a1,
                                  const std::string& a2) {
  return Script("return call(" + JsText(command) + ", " + a1 + ", " + a2 + ");").Dump();
}

void CommandPageTest::RunByClick(const std::string& body) {
  Script("window.callDone = false; window.armedCall = function () { " + body +
         " window.callDone = true; };");
  ClickAt(m_window, 40, 40);
}

std::string CommandPageTest::ConfigText() const {
  std::ifstream in(m_folder + "/config.ini", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

int CommandPageTest::FrameTop() {
  // "_NET_FRAME_EXTENTS(CARDINAL) = left, right, top, bottom"
  CommandResult r = RunCommand({"xprop", "-id", m_window, "_NET_FRAME_EXTENTS"}, ShellEnv());
  std::size_t at = r.output.find('=');
  if (at == std::string::npos) return -1;
  std::istringstream numbers(r.output.substr(at + 1));
  int left = 0, right = 0, top = -1;
  char comma = 0;
  numbers >> left >> comma >> right >> comma >> top;
  return top;
}

bool CommandPageTest::WaitForState(const std::string& state, bool present) {
  return WaitUntil([&] { return HasState(m_window, state) == present; }, std::chrono::seconds(10));
}

std::string CommandPageTest::WaitForMessageBox() {
  std::string found;
  WaitUntil([&] {
    CommandResult r = Xdo({"search", "--onlyvisible", "--name", "^Quillory$"});
    std::istringstream lines(r.output);
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty() && line != m_window) found = line;
    }
    return !found.empty();
  });
  return found;
}

bool CommandPageTest::IsOwnedByMainWindow(const std::string& window) {
  // "WM_TRANSIENT_FOR(WINDOW): window id # 0x40000e"; xdotool gives decimal ids.
  CommandResult r = RunCommand({"xprop", "-id", window, "WM_TRANSIENT_FOR"}, ShellEnv());
  std::size_t at = r.output.find("0x");
  if (at == std::string::npos) return false;
  return std::stoul(r.output.substr(at), nullptr, 16) == std::stoul(m_window);
}

}  // namespace guitest
