// SelectPackage in the real window: the page asks, the user answers the file
// chooser (typed with xdotool), and the page hears SetUnzPkg(3), (1) or (0).
#include <filesystem>
#include <fstream>

#include "gui/harness/shell_test.h"

namespace guitest {
namespace {

namespace fs = std::filesystem;

constexpr char kDialogTitle[] = "导入资源包";

// Starts SelectPackage without waiting (the dialog keeps the call open) and
// keeps what the page had received when the call returned.
constexpr char kStartImport[] = R"JS(
  window.importReturned = undefined;
  setTimeout(function () {
    window.external.WinFun('SelectPackage', '', '', '', '', '');
    window.importReturned = window.quillory.received.slice();
  }, 0);
  return true;)JS";

class ImportGuiTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    LayOutSampleProgram();
    ASSERT_NE(StartDrivenShell(), nullptr);
    ASSERT_TRUE(WaitForPage("/000000/kvr_main.html"));
  }

  // Opens the dialog from the page; the dialog's window id.
  std::string OpenDialog() {
    Script("window.quillory.received.length = 0; return true;");
    EXPECT_TRUE(Driver()->ExecuteDetached(kStartImport));
    return WaitForWindow(kDialogTitle);
  }

  // Types `path` into the chooser's location field and confirms it.
  void ChooseFile(const std::string& dialog, const std::string& path) {
    PressKeys(dialog, {"ctrl+l"});
    Xdo({"type", "--delay", "5", path});
    PressKeys(dialog, {"Return"});
  }

  // How many times the page has received `call`, e.g. "SetUnzPkg(1)".
  int Received(const std::string& call) {
    return static_cast<int>(
        Script("return window.quillory.received.filter(function (c) { return c === '" + call +
               "'; }).length;")
            .number);
  }
  bool WaitForCount(const std::string& call, int count) {
    return WaitForScript("window.quillory.received.filter(function (c) { return c === '" + call +
                         "'; }).length === " + std::to_string(count));
  }
};

TEST_F(ImportGuiTest, CancelAnswersThreeBeforeTheCallReturns) {
  std::string dialog = OpenDialog();
  ASSERT_FALSE(dialog.empty());
  PressKeys(dialog, {"Escape"});
  ASSERT_TRUE(WaitForScript("window.importReturned !== undefined"));
  Json returned = Script("return window.importReturned;");
  ASSERT_EQ(returned.array.size(), 1u);
  EXPECT_EQ(returned.array[0].string, "SetUnzPkg(3)");
  EXPECT_FALSE(fs::exists(ProgramDir() + "/Data/100104"));
}

TEST_F(ImportGuiTest, SamplePackageImportsTwiceAndIsListedAndServed) {
  const std::string package = Root() + "/incoming/sample-book.vkp";
  fs::create_directories(Root() + "/incoming");
  fs::copy_file(QUILLORY_SAMPLE_PACKAGE, package);
  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE(round);
    std::string dialog = OpenDialog();
    ASSERT_FALSE(dialog.empty());
    ChooseFile(dialog, package);
    ASSERT_TRUE(WaitForCount("SetUnzPkg(1)", 1));
    EXPECT_EQ(Received("SetUnzPkg(0)") + Received("SetUnzPkg(3)"), 0);
    EXPECT_TRUE(fs::exists(ProgramDir() + "/Data/100104/pro.xml"));
  }
  // The imported store serves its book, and the product list shows it.
  EXPECT_NE(Script("var r = new XMLHttpRequest(); r.open('GET', '/100104/book.html', false);"
                   "r.send(); return r.responseText;")
                .string.find("厨房里的化学"),
            std::string::npos);
  Script("window.external.WinFun('GetLocalProduct', '', '', '', '', ''); return true;");
  EXPECT_NE(Script("var r = new XMLHttpRequest(); r.open('GET', '/localList.xml', false);"
                   "r.send(); return r.responseText;")
                .string.find("id=\"100104\""),
            std::string::npos);
}

TEST_F(ImportGuiTest, PackageThatIsNotAZipAnswersZero) {
  const std::string package = Root() + "/incoming/broken.vkp";
  fs::create_directories(Root() + "/incoming");
  std::ofstream(package) << "not a zip archive\n";
  std::string dialog = OpenDialog();
  ASSERT_FALSE(dialog.empty());
  ChooseFile(dialog, package);
  ASSERT_TRUE(WaitForCount("SetUnzPkg(0)", 1));
  EXPECT_EQ(Received("SetUnzPkg(1)"), 0);
}

TEST_F(ImportGuiTest, PackageMadeByThePackToolLandsInData) {
  // A one-product store packed by quillory-pack, imported through the dialog.
  const std::string plain = Root() + "/plain-package";
  fs::create_directories(plain + "/100200");
  std::ofstream(plain + "/100200/book.html") << "<p>imported book</p>";
  ASSERT_EQ(RunCommand({PackExecutable(), "store", plain, Root() + "/store"}).exit_code, 0);
  const std::string package = Root() + "/packed.vkp";
  ASSERT_EQ(RunCommand({PackExecutable(), "package", Root() + "/store", package}).exit_code, 0);
  std::string dialog = OpenDialog();
  ASSERT_FALSE(dialog.empty());
  ChooseFile(dialog, package);
  ASSERT_TRUE(WaitForCount("SetUnzPkg(1)", 1));
  EXPECT_EQ(Script("var r = new XMLHttpRequest(); r.open('GET', '/100200/book.html', false);"
                   "r.send(); return r.responseText;")
                .string,
            "<p>imported book</p>");
}

}  // namespace
}  // namespace guitest
