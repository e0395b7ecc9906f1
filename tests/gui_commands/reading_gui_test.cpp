// The reading commands in the real window: book mode and its presentation,
// lesson pages in config.ini, leaving a book by command and by the close box.
#include "command_page_fixture.h"

namespace guitest {
namespace {

using ReadingGuiTest = CommandPageTest;

TEST_F(ReadingGuiTest, LessonPageIsRememberedAcrossLeavingTheBook) {
  ASSERT_TRUE(StartRecordingShell());
  EXPECT_EQ(Call("GoBook", "'7'"), "[]");
  EXPECT_EQ(Call("SaveLesson", "'15'"), "[]");
  EXPECT_EQ(Call("GoMainWin"), "[]");
  EXPECT_EQ(Call("GetLesson"), "[]");  // no book open
  // A script number as the id arrives as its decimal text: the same book.
  EXPECT_EQ(Call("GoBook", "7"), "[]");
  EXPECT_EQ(Call("GetLesson"), R"([["SetFun","gotoPage","15"]])");
  const std::string config = ConfigText();
  EXPECT_NE(config.find("[Product]"), std::string::npos) << config;
  EXPECT_NE(config.find("Product7=15"), std::string::npos) << config;
}

TEST_F(ReadingGuiTest, SaveLessonStoresOnlyDigits) {
  ASSERT_TRUE(StartRecordingShell());
  Call("GoBook", "'7'");
  Call("SaveLesson", "'4'");
  const std::string before = ConfigText();
  for (const char* page : {"'12a'", "'-3'", "' '", "'1 2'"}) Call("SaveLesson", page);
  EXPECT_EQ(ConfigText(), before);
  EXPECT_EQ(Call("GetLesson"), R"([["SetFun","gotoPage","4"]])");
}

TEST_F(ReadingGuiTest, BookModeTakesTheCaptionAndMaximises) {
  ASSERT_TRUE(StartRecordingShell());
  ASSERT_GT(FrameTop(), 0);
  Call("GoBook", "'7'");
  EXPECT_TRUE(WaitForState("MAXIMIZED_VERT", true));
  EXPECT_TRUE(WaitUntil([&] { return FrameTop() == 0; }, std::chrono::seconds(10)));

  // Only exactly "max" maximises: "Max" restores.
  Call("GoMainWin", "'Max'");
  EXPECT_TRUE(WaitForState("MAXIMIZED_VERT", false));
  EXPECT_TRUE(WaitUntil([&] { return FrameTop() > 0; }, std::chrono::seconds(10)));
  Call("GoMainWin", "'max'");
  EXPECT_TRUE(WaitForState("MAXIMIZED_VERT", true));
  EXPECT_GT(FrameTop(), 0);
}

TEST_F(ReadingGuiTest, QuitBookReturnsToTheRestoredMainPage) {
  ASSERT_TRUE(StartRecordingShell());
  Call("GoBook", "'7'");
  Script("location.href = '/7/book.html';");
  ASSERT_TRUE(WaitForPage("/7/book.html"));
  ASSERT_TRUE(WaitForState("MAXIMIZED_VERT", true));

  Driver()->ExecuteDetached("window.external.WinFun('QuitBook', '', '', '', '', '');");
  EXPECT_TRUE(WaitForPage("/000000/kvr_main.html"));
  EXPECT_TRUE(WaitForState("MAXIMIZED_VERT", false));
  EXPECT_EQ(Call("GetLesson"), "[]");  // book mode is over
}

TEST_F(ReadingGuiTest, CloseBoxInABookReturnsToTheMainPageAndASecondCloseEnds) {
  ASSERT_TRUE(StartRecordingShell());
  Call("GoBook", "'7'");
  Call("SaveLesson", "'3'");
  Script("location.href = '/7/book.html';");
  ASSERT_TRUE(WaitForPage("/7/book.html"));
  // A close sent while the window manager still reframes the window for
  // reading can be lost on the way; wait until reading mode has settled.
  ASSERT_TRUE(WaitForState("MAXIMIZED_VERT", true));

  PressKeys(MainWindow(), {"alt+F4"});  // the window manager's close
  EXPECT_TRUE(WaitForPage("/000000/kvr_main.html"));
  EXPECT_TRUE(WaitForState("MAXIMIZED_VERT", false));
  EXPECT_EQ(Call("GetLesson"), "[]");
  EXPECT_FALSE(WaitForWindow("Quillory").empty());

  PressKeys(MainWindow(), {"alt+F4"});
  EXPECT_TRUE(WaitUntil([&] { return ProcessesRunning(ShellFolder() + "/quillory").empty(); }));
}

TEST_F(ReadingGuiTest, MinWindowMinimisesAndKeepsBookMode) {
  ASSERT_TRUE(StartRecordingShell());
  Call("GoBook", "'7'");
  Call("SaveLesson", "'9'");
  Call("MinWindow", "'a'", "'b'");
  EXPECT_TRUE(WaitForState("HIDDEN", true));
  EXPECT_EQ(Call("GetLesson"), R"([["SetFun","gotoPage","9"]])");
}

TEST_F(ReadingGuiTest, MaximisingCommandsBringAMinimisedWindowBack) {
  ASSERT_TRUE(StartRecordingShell());
  const std::pair<const char*, const char*> rows[] = {{"GoBook", "'7'"}, {"GoMainWin", "'max'"}};
  for (const auto& [command, argument] : rows) {
    Call("MinWindow");
    ASSERT_TRUE(WaitForState("HIDDEN", true)) << command;
    Call(command, argument);
    EXPECT_TRUE(WaitUntil([&] {
      return !HasState(MainWindow(), "HIDDEN") && HasState(MainWindow(), "MAXIMIZED_VERT");
    })) << command;
  }
}

}  // namespace
}  // namespace guitest
