// The dispatcher and the page services in the real window: message boxes,
// base information, the product list, exact command names.
#include "command_page_fixture.h"

namespace guitest {
namespace {

using PageServicesGuiTest = CommandPageTest;

TEST_F(PageServicesGuiTest, ShowMsgKindsOneAndTwoHoldTheCallUntilAnswered) {
  ASSERT_TRUE(StartRecordingShell());
  for (const char* kind : {"'1'", "'2'"}) {
    // Kind 0 first: had it shown a box, the one answer below would leave the
    // second call waiting and callDone unset.
    RunByClick(std::string("call('ShowMsg', '0', 'none'); call('ShowMsg', ") + kind +
               ", 'It\\'s a box');");
    std::string box = WaitForMessageBox();
    ASSERT_FALSE(box.empty()) << kind;
    EXPECT_TRUE(HasState(box, "MODAL")) << kind;
    EXPECT_TRUE(IsOwnedByMainWindow(box)) << kind;
    PressKeys(box, {"Return"});
    EXPECT_TRUE(WaitForScript("window.callDone === true")) << kind;
  }
}

TEST_F(PageServicesGuiTest, GetBaseInfoSurvivesAnApostropheInTheProgramFolder) {
  ASSERT_TRUE(StartRecordingShell("o'neil \xE8\xAF\xBE\xE6\x9C\xAC"));  // o'neil 课本
  EXPECT_EQ(Call("GetBaseInfo"), "[[\"SetBaseInfo\"," + QuoteJson(ShellFolder() + "/Deve/") +
                                     ",\"http://127.0.0.1:9\",\"1.0.1.0\"]]");
}

TEST_F(PageServicesGuiTest, GetBaseInfoPassesAChineseProgramFolderUnchanged) {
  ASSERT_TRUE(StartRecordingShell("\xE6\x95\xB0\xE5\xAD\xA6\xE8\xAF\xBE\xE6\x9C\xAC"));  // 数学课本
  EXPECT_EQ(Call("GetBaseInfo"), "[[\"SetBaseInfo\"," + QuoteJson(ShellFolder() + "/Deve/") +
                                     ",\"http://127.0.0.1:9\",\"1.0.1.0\"]]");
}

TEST_F(PageServicesGuiTest, GetLocalProductReportsInOrderBeforeTheCallReturns) {
  ASSERT_TRUE(StartRecordingShell());
  WriteContentFile("100101/pro.xml", "<Product id=\"100101\" />");
  WriteContentFile("100102/book.html", "no description here");
  WriteContentFile("100103/pro.xml", "<Product id=\"100103\"><Summary>x</Summary></Product>");

  EXPECT_EQ(Call("GetLocalProduct"),
            R"([["SetLocProBar",0],["SetLocProBar",2],["SetLocProBar",2],["SetLocProBar",1]])");
  // The list is served to the page from the content folder's root.
  Json list = Script(
      "var r = new XMLHttpRequest(); r.open('GET', '/localList.xml', false); r.send();"
      "var d = new DOMParser().parseFromString(r.responseText, 'text/xml');"
      "return Array.prototype.map.call(d.documentElement.children,"
      "  function (e) { return e.getAttribute('id'); });");
  EXPECT_EQ(list.Dump(), R"(["100101","100103"])");
}

TEST_F(PageServicesGuiTest, OnlyExactCommandNamesRun) {
  ASSERT_TRUE(StartRecordingShell());
  for (const char* name : {"showme", "SHOWME", "ShowMe ", " ShowMe", ""}) {
    EXPECT_EQ(Call(name), "[]") << "'" << name << "'";
  }
  EXPECT_EQ(Call("ShowMe"), R"([["ShowMe"]])");
}

}  // namespace
}  // namespace guitest
