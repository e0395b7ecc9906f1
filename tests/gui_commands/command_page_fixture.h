// A program folder in developer mode whose main page (and one book page)
// record every page function the shell calls, started through WebDriver, with
// helpers that run one WinFun command and return what arrived during it.
#pragma once

#include <string>

#include "gui/harness/shell_test.h"

namespace guitest {

class CommandPageTest : public ShellTest {
 protected:
  // Lays out the shell and the recording pages in `folder` (relative to the
  // test's root, so the program folder's own name can be chosen), starts it
  // driven and waits for the main page and the window. False on failure.
  bool StartRecordingShell(const std::string& folder = "program");
  // Writes a file below the content folder Deve of the started layout.
  void WriteContentFile(const std::string& relative, const std::string& text);

  // Runs WinFun(command, a1, a2, '', '', '') in the page; a1 and a2 are script
  // expressions. Returns the page functions called during the call, as JSON:
  // [["SetLocProBar",0],...].
  std::string Call(const std::string& command, const std::string& a1 = "''",
                   const std::string& a2 = "''");
  // Runs the script `body` from a real click in the page, so that a modal box
  // it opens blocks neither the driver nor the test; the page sets
  // window.callDone when `body` has finished.
  void RunByClick(const std::string& body);

  // The folder holding the shell (no trailing "/").
  const std::string& ShellFolder() const { return m_folder; }
  std::string ConfigText() const;
  const std::string& MainWindow() const { return m_window; }
  // The window manager's frame: its top extent is the caption's height.
  int FrameTop();
  bool WaitForState(const std::string& state, bool present);
  // A second visible window titled "Quillory" (a message box); "" at the deadline.
  std::string WaitForMessageBox();
  // True when `window` is transient for (owned by) the main window.
  bool IsOwnedByMainWindow(const std::string& window);

 private:
  std::string m_folder;
  std::string m_window;
};

// `text` as a single-quoted script string literal.
std::string JsText(const std::string& text);

}  // namespace guitest
