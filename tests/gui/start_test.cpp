// Start-up of the shell: swap start, single instance, failure boxes, the end.
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "gui/harness/shell_test.h"

namespace guitest {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool ExitedNormally(const std::optional<int>& status) {
  return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

using StartTest = ShellTest;

TEST_F(StartTest, SwapStartReplacesMainExecutableAndStartsItAtExit) {
  LayOutSampleProgram();
  fs::remove(ProgramDir() + "/quillory");
  WriteProgramFile("quillory", "#!/bin/sh\nexit 3\n");  // the "old" executable
  InstallShell("quillory_");
  Process* swap = StartShell({}, "quillory_");
  ASSERT_TRUE(ExitedNormally(swap->WaitExit(std::chrono::seconds(30))));
  EXPECT_EQ(ReadFile(ProgramDir() + "/quillory"), ReadFile(ShellExecutable()));
  // The copy, started at exit, shows the window and removes the swap executable.
  std::string window = WaitForWindow("Quillory");
  ASSERT_FALSE(window.empty());
  std::string owner = Xdo({"getwindowpid", window}).output;
  std::vector<pid_t> copies = ProcessesRunning(ProgramDir() + "/quillory");
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(std::stoi(owner), copies[0]);
  EXPECT_TRUE(WaitUntil([&] { return !fs::exists(ProgramDir() + "/quillory_"); }));
}

TEST_F(StartTest, SecondStartRaisesTheMinimisedFirstAndEnds) {
  LayOutSampleProgram();
  Process* first = StartShell();
  std::string window = WaitForWindow("Quillory");
  ASSERT_FALSE(window.empty());
  Xdo({"windowminimize", "--sync", window});
  ASSERT_TRUE(WaitUntil([&] { return HasState(window, "HIDDEN"); }));
  Process* second = StartShell();
  EXPECT_TRUE(ExitedNormally(second->WaitExit(std::chrono::seconds(30))));
  EXPECT_TRUE(WaitUntil([&] { return !HasState(window, "HIDDEN"); }));
  EXPECT_TRUE(first->Running());
}

TEST_F(StartTest, KilledFirstInstanceDoesNotBlockTheNext) {
  LayOutSampleProgram();
  Process* first = StartShell();
  ASSERT_FALSE(WaitForWindow("Quillory").empty());
  kill(first->Pid(), SIGKILL);
  first->WaitExit(std::chrono::seconds(10));
  ASSERT_TRUE(WaitUntil([&] { return Xdo({"search", "--name", "^Quillory$"}).output.empty(); }));
  Process* next = StartShell();
  EXPECT_FALSE(WaitForWindow("Quillory").empty());
  EXPECT_TRUE(next->Running());
}

TEST_F(StartTest, MissingContentFolderShowsErrorAndEnds) {
  InstallShell();
  WriteProgramFile("Data/100101/pro.xml", "<product/>");  // content folder without 000000
  Process* shell = StartShell();
  std::string box = WaitForWindow("Quillory - 程序错误");
  ASSERT_FALSE(box.empty());
  EXPECT_TRUE(shell->Running());  // the box holds the program
  PressKeys(box, {"Return"});
  EXPECT_TRUE(ExitedNormally(shell->WaitExit(std::chrono::seconds(30))));
}

TEST_F(StartTest, SocketLayerFailureShowsWarningAndEnds) {
  LayOutSampleProgram();
  Process* shell = StartShell({}, "quillory", {{"QUILLORY_FAIL_SOCKET_INIT", "1"}});
  std::string box = WaitForWindow("quillory");  // caption: the executable's base name
  ASSERT_FALSE(box.empty());
  PressKeys(box, {"Return"});
  EXPECT_TRUE(ExitedNormally(shell->WaitExit(std::chrono::seconds(30))));
  EXPECT_TRUE(Xdo({"search", "--name", "^Quillory$"}).output.empty());  // no main window
}

TEST_F(StartTest, EscapeWithoutBookEndsTheProgram) {
  LayOutSampleProgram();
  Process* shell = StartShell();
  std::string window = WaitForWindow("Quillory");
  ASSERT_FALSE(window.empty());
  PressKeys(window, {"Escape"});
  EXPECT_TRUE(ExitedNormally(shell->WaitExit(std::chrono::seconds(30))));
}

TEST_F(StartTest, WritesBrowserEmulationValueAtNormalStart) {
  LayOutSampleProgram();
  StartShell();
  ASSERT_FALSE(WaitForWindow("Quillory").empty());
  EXPECT_EQ(ReadFile(Root() + "/feature_control.ini"),
            "[FEATURE_BROWSER_EMULATION]\nquillory=8000\n");
}

}  // namespace
}  // namespace guitest
