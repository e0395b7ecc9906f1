// GoogleTest fixture for end-to-end tests of the real shell window: a
// private temporary root per test (program folder, runtime folder, caches),
// the shared X session, the shell started directly or through
// WebKitWebDriver, and helpers to read and drive the page and the window.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gui/harness/json.h"
#include "gui/harness/processes.h"
#include "gui/harness/webdriver.h"
#include "gui/harness/x_session.h"

namespace guitest {

// Built programs and sources the tests use (compile definitions, each
// overridable by the environment variable of the same name).
std::string ShellExecutable();    // QUILLORY_TEST_SHELL_EXE
std::string PackExecutable();     // QUILLORY_TEST_PACK_EXE
std::string SampleContentDir();   // QUILLORY_TEST_CONTENT_DIR (content/ of the sources)
std::string ArtifactsDir();       // QUILLORY_TEST_ARTIFACTS_DIR (screenshots of failed tests)

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The test's private root and the program folder inside it (no trailing "/").
  const std::string& Root() const { return m_root; }
  std::string ProgramDir() const { return m_root + "/program"; }
  // The environment every program of the test gets: DISPLAY, XDG_RUNTIME_DIR,
  // XDG cache/data/config folders, GSETTINGS_BACKEND=memory, an unreachable
  // update server on 127.0.0.1, the feature-control store inside the root.
  const Env& ShellEnv() const { return m_env; }

  // ----- Laying out the program folder -----
  // Copies the built shell into the program folder under `name`; its path.
  std::string InstallShell(const std::string& name = "quillory");
  // Writes a file (folders created) at `relative` inside the program folder.
  void WriteProgramFile(const std::string& relative, const std::string& content);
  // Developer-mode marker.
  void AddTirrel() { WriteProgramFile("tirrel", ""); }
  // Copies the bundled sample content (content folders only) to `relative`
  // (for example "Deve", or a staging folder for a store).
  void CopySampleContent(const std::string& relative);
  // Builds the content store Data from a plain folder (quillory-pack store).
  bool BuildDataStore(const std::string& plain_dir);
  // The usual layout: shell + Data store of the sample content.
  void LayOutSampleProgram();

  // ----- Starting the shell -----
  // Starts the installed shell directly (output in Root()/shell.log), with
  // `extra_env` added to ShellEnv().
  Process* StartShell(const std::vector<std::string>& args = {},
                      const std::string& name = "quillory", const Env& extra_env = {});
  // Starts it through WebKitWebDriver; null (and a test failure) when the
  // session could not be made.
  WebDriver* StartDrivenShell(const std::string& name = "quillory");
  WebDriver* Driver() { return m_driver.get(); }

  // ----- The page (driven shell only) -----
  // Runs `script` (a function body) in the page; a failure of the test when it throws.
  Json Script(const std::string& script);
  // Runs `script`; the error text when it threw, none when it returned.
  std::optional<std::string> ScriptError(const std::string& script);
  // Waits until the expression `condition` is true in the page.
  bool WaitForScript(const std::string& condition,
                     std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // Waits until the page whose path ends in `page` has loaded completely.
  bool WaitForPage(const std::string& page);
  // Waits until the main page's record of page-function calls
  // (window.quillory.received) holds `call`, for example "SetFun(\"enter\")".
  bool WaitForReceived(const std::string& call);

  // ----- The window -----
  // Waits for a window titled exactly `title`; its id, or "" at the deadline.
  std::string WaitForWindow(const std::string& title,
                            std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // The window's _NET_WM_STATE atoms (without the _NET_WM_STATE_ prefix).
  std::vector<std::string> WindowState(const std::string& window);
  bool HasState(const std::string& window, const std::string& state);
  // Runs xdotool with `args` on the test's display.
  CommandResult Xdo(const std::vector<std::string>& args);
  // Activates `window` and types real key presses (xdotool key names).
  void PressKeys(const std::string& window, const std::vector<std::string>& keys);
  // Real click of `button` at (x, y) of `window`'s client area.
  void ClickAt(const std::string& window, int x, int y, int button = 1);
  // Saves the whole screen to ArtifactsDir()/`name`.png; the file's path.
  std::string Screenshot(const std::string& name);

 private:
  std::string m_root;
  Env m_env;
  std::vector<std::unique_ptr<Process>> m_processes;
  std::unique_ptr<WebDriver> m_driver;
};

}  // namespace guitest
