// The bundled sample content in its store form: the main page lists the
// sample books, a book opens in reading mode, remembers the page the reader
// left it on and offers it again when it is reopened.
#include "gui/harness/shell_test.h"

namespace guitest {
namespace {

using SampleContentGuiTest = ShellTest;

TEST_F(SampleContentGuiTest, ShelfOpensABookThatRemembersItsPage) {
  LayOutSampleProgram();
  ASSERT_NE(StartDrivenShell(), nullptr);
  ASSERT_TRUE(WaitForPage("/000000/kvr_main.html"));
  ASSERT_TRUE(WaitForScript("document.querySelectorAll('#shelf .shelf-book').length === 3"));
  EXPECT_EQ(Script("return Array.prototype.map.call(document.querySelectorAll('#shelf strong'),"
                   "  function (e) { return e.textContent; });")
                .Dump(),
            "[\"\xE6\xB1\xA0\xE5\xA1\x98\xE9\x87\x8C\xE7\x9A\x84\xE4\xB8\x80\xE5\xB9\xB4\","
            "\"\xE9\x9B\x86\xE5\xB8\x82\xE4\xB8\x8A\xE7\x9A\x84\xE6\x95\xB0\xE5\xAD\xA6\","
            "\"\xE6\x98\x9F\xE7\xA9\xBA\xE8\xA7\x82\xE5\xAF\x9F\xE6\x89\x8B\xE5\x86\x8C\"]");

  // Open the second book, turn two pages, go back to the shelf.
  Script("document.querySelectorAll('#shelf button')[1].click();");
  ASSERT_TRUE(WaitForPage("/100102/book.html"));
  EXPECT_EQ(Script("return document.getElementById('book-where').textContent;").string,
            "\xE7\xAC\xAC 1 / 5 \xE9\xA1\xB5");  // 第 1 / 5 页
  Script(
      "document.getElementById('book-next').click(); "
      "document.getElementById('book-next').click();");
  Script("document.getElementById('book-back').click();");
  ASSERT_TRUE(WaitForPage("/000000/kvr_main.html"));

  // Reopened, the book comes back on page 3.
  ASSERT_TRUE(WaitForScript("document.querySelectorAll('#shelf button').length === 3"));
  Script("document.querySelectorAll('#shelf button')[1].click();");
  ASSERT_TRUE(WaitForPage("/100102/book.html"));
  EXPECT_EQ(Script("return document.getElementById('book-where').textContent;").string,
            "\xE7\xAC\xAC 3 / 5 \xE9\xA1\xB5");
}

}  // namespace
}  // namespace guitest
