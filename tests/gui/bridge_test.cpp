// The page bridge: window.external.WinFun in every page and frame, statements
// run before the call returns, arguments that make the call throw, no answer
// to pages of other origins.
#include <fstream>
#include <sstream>

#include "gui/harness/shell_test.h"

namespace guitest {
namespace {

// A page of another origin: reports WinFun's result and how often the call's
// statement ran, and calls again in its own unload.
constexpr const char* kForeignProbe = R"(<script>
var ran = 0;
window.ShowMe = function () { ran++; };
var result = window.external.WinFun('ShowMe', '', '', '', '', '');
addEventListener('pagehide', function () { window.external.WinFun('ShowMe', '', '', '', '', ''); });
parent.postMessage(result + ' ' + ran, '*');
</script>)";

class BridgeTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    LayOutSampleProgram();
    ASSERT_NE(StartDrivenShell(), nullptr);
    ASSERT_TRUE(WaitForPage("/000000/kvr_main.html"));
  }
};

TEST_F(BridgeTest, StatementOfACommandRunsBeforeWinFunReturns) {
  Json order = Script(R"JS(
    var order = [];
    window.ShowMe = function () { order.push('ShowMe'); };
    var result = window.external.WinFun('ShowMe', '', '', '', '', '');
    order.push('returned ' + typeof result);
    return order;)JS");
  ASSERT_EQ(order.array.size(), 2u);
  EXPECT_EQ(order.array[0].string, "ShowMe");
  EXPECT_EQ(order.array[1].string, "returned boolean");
}

TEST_F(BridgeTest, NullOrSevenArgumentsThrowAndRunNothing) {
  Json outcome = Script(R"JS(
    var calls = 0;
    window.ShowMe = function () { calls++; };
    function throws(f) { try { f(); return false; } catch (e) { return true; } }
    var w = window.external;
    return {
      nullCommand: throws(function () { w.WinFun(null, '', '', '', '', ''); }),
      nullArgument: throws(function () { w.WinFun('ShowMe', '', '', '', '', null); }),
      seven: throws(function () { w.WinFun('ShowMe', '', '', '', '', '', ''); }),
      before: calls,
      fewer: throws(function () { w.WinFun('ShowMe'); }),
      after: calls
    };)JS");
  EXPECT_TRUE(outcome["nullCommand"].boolean);
  EXPECT_TRUE(outcome["nullArgument"].boolean);
  EXPECT_TRUE(outcome["seven"].boolean);
  EXPECT_EQ(outcome["before"].number, 0);
  EXPECT_FALSE(outcome["fewer"].boolean);  // missing arguments are empty texts
  EXPECT_EQ(outcome["after"].number, 1);
}

TEST_F(BridgeTest, ExternalExistsInFrames) {
  ASSERT_TRUE(Script(R"JS(
    var frame = document.createElement('iframe');
    frame.id = 'served';
    frame.src = 'kvr_main.css';
    document.body.appendChild(frame);
    return true;)JS")
                  .boolean);
  ASSERT_TRUE(WaitForScript(
      "document.getElementById('served').contentDocument &&"
      "document.getElementById('served').contentDocument.readyState === 'complete' &&"
      "document.getElementById('served').contentWindow.location.href.indexOf('css') > 0"));
  EXPECT_EQ(Script("return typeof document.getElementById('served').contentWindow.external.WinFun;")
                .string,
            "function");
  // A statement of a call from a frame runs in the page the window shows.
  Json seen = Script(R"JS(
    var seen = 0;
    window.ShowMe = function () { seen++; };
    document.getElementById('served').contentWindow.external.WinFun('ShowMe', '', '', '', '', '');
    return seen;)JS");
  EXPECT_EQ(seen.number, 1);
}

// A frame from a server of the same host on another port.
TEST_F(BridgeTest, OtherOriginsGetFalseAndNothingRunsNorInTheirUnload) {
  WriteProgramFile("../foreign/probe.html", kForeignProbe);
  auto server = Process::Start({"python3", "-u", "-m", "http.server", "0", "--bind", "127.0.0.1",
                                "--directory", Root() + "/foreign"},
                               {}, Root() + "/foreign.log");
  std::string log;
  ASSERT_TRUE(WaitUntil([&] {
    log = (std::stringstream() << std::ifstream(Root() + "/foreign.log").rdbuf()).str();
    return log.find("(http://") != std::string::npos;
  }));
  std::string url = log.substr(log.find("(http://") + 1, log.find(")") - log.find("(http://") - 1);
  Script(
      "window.shown = 0; window.ShowMe = function () { shown++; };"
      "addEventListener('message', function (e) { window.report = e.data; });"
      "window.probe = document.createElement('iframe'); probe.src = '" +
      url +
      "probe.html';"
      "document.body.appendChild(probe); return true;");
  ASSERT_TRUE(WaitForScript("window.report"));
  EXPECT_EQ(Script("return report;").string, "false 0");
  Script(
      "probe.onload = function () { window.unloaded = true; };"
      "probe.contentWindow.location.replace('about:blank'); return true;");
  ASSERT_TRUE(WaitForScript("window.unloaded"));
  // The frame's script messages (of both its calls) arrived before this call.
  Script("window.external.WinFun('GetBaseInfo', '', '', '', '', ''); return true;");
  EXPECT_EQ(Script("return shown;").number, 0);
}

TEST_F(BridgeTest, ExternalInAboutBlankGetsFalseAndNothingRuns) {
  Script("location.href = 'about:blank'; return true;");
  ASSERT_TRUE(
      WaitForScript("location.href === 'about:blank' && document.readyState === 'complete'"));
  Json seen = Script(R"JS(
    var seen = 0;
    window.ShowMe = function () { seen++; };
    var result = window.external.WinFun('ShowMe', '', '', '', '', '');
    return result + ' ' + seen;)JS");
  EXPECT_EQ(seen.string, "false 0");
}

TEST_F(BridgeTest, CallDuringUnloadStillReachesTheShell) {
  std::string window = WaitForWindow("Quillory");
  ASSERT_FALSE(window.empty());
  Script(R"JS(
    window.addEventListener('pagehide', function () {
      window.external.WinFun('MinWindow', '', '', '', '', '');
    });
    location.href = 'kvr_entrance.html';
    return true;)JS");
  EXPECT_TRUE(WaitUntil([&] { return HasState(window, "HIDDEN"); }));
}

}  // namespace
}  // namespace guitest
