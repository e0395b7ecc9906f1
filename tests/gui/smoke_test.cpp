// The shell opens on the sample content, the entrance page forwards to the
// main page, and the page bridge answers.
#include "gui/harness/shell_test.h"

namespace guitest {
namespace {

using SmokeTest = ShellTest;

TEST_F(SmokeTest, OpensSampleContentAndAnswersThePage) {
  LayOutSampleProgram();
  ASSERT_NE(StartDrivenShell(), nullptr);
  ASSERT_TRUE(WaitForPage("/000000/kvr_main.html"));
  EXPECT_TRUE(Script("return sessionStorage.getItem('quillory.entrance') !== null;").boolean);
  // The main page asks for the base information as it loads.
  ASSERT_TRUE(WaitForScript("window.quillory.received.length > 0"));
  EXPECT_EQ(Script("return window.quillory.received[0];").string.rfind("SetBaseInfo(", 0), 0u);
  EXPECT_FALSE(WaitForWindow("Quillory").empty());
}

}  // namespace
}  // namespace guitest
