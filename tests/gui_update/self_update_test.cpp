// The shell updates itself from nginx on 127.0.0.1: the first start installs
// a new executable and asks for a restart; after the two restarts the new
// version runs and the swap executable is gone.
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "core/version_record.h"
#include "gui/harness/shell_test.h"
#include "platform/ini.h"
#include "update/test_servers.h"
#include "util/text.h"

namespace guitest {
namespace {

namespace fs = std::filesystem;
using update_test::NginxServer;
using update_test::ScriptedServer;

constexpr const char* kNewVersion = "1.0.2.0";
constexpr const char* kManifestUrlPath = "/Public/ebag/client/update/update.xml";

// An entrance page that reports the shell's version (GetBaseInfo) to
// `report_url`, after running `first_call` (a WinFun call, or nothing).
std::string ReportingEntrancePage(const std::string& report_url, const std::string& first_call) {
  return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><script>\n"
         "function SetBaseInfo(folder, server, version) {\n"
         "  new Image().src = '" +
         report_url +
         "/report?version=' + encodeURIComponent(version);\n"
         "}\n"
         "window.addEventListener('load', function () {\n  " +
         first_call +
         "\n"
         "  window.external.WinFun('GetBaseInfo', '', '', '', '', '');\n"
         "});\n"
         "</script></head><body>update test</body></html>\n";
}

// A main page that reports that it was shown.
std::string ReportingMainPage(const std::string& report_url) {
  return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>main<script>\n"
         "new Image().src = '" +
         report_url +
         "/report?main';\n"
         "</script></body></html>\n";
}

bool Reported(const ScriptedServer& reports, const std::string& version) {
  for (const std::string& request : reports.requests()) {
    if (request.rfind("GET /report?" + version + " ", 0) == 0) return true;
  }
  return false;
}

class SelfUpdateTest : public ShellTest {
 protected:
  // The program in developer mode, with the reporting entrance page.
  void LayOutProgram(const std::string& report_url, const std::string& first_call = "") {
    InstallShell();
    AddTirrel();
    CopySampleContent("Deve");
    WriteProgramFile("Deve/000000/kvr_entrance.html",
                     ReportingEntrancePage(report_url, first_call));
    WriteProgramFile("Deve/000000/kvr_main.html", ReportingMainPage(report_url));
  }
  // Starts the update server with the new shell published on it.
  void StartUpdateServer() {
    const std::string www = Root() + "/www";
    fs::create_directories(www);
    m_server = std::make_unique<NginxServer>(NginxServer::Options{www});
    ASSERT_TRUE(m_server->running());
    PublishNewShell(www, m_server->Url());
  }
  Process* StartFirstShell() {
    return StartShell({}, "quillory", {{"QUILLORY_UPDATE_SERVER", m_server->Url()}});
  }
  // After the old shell has ended: the new one runs, and the swap executable is gone.
  void ExpectNewShellRunning(const ScriptedServer& reports) {
    EXPECT_TRUE(WaitUntil([&] { return Reported(reports, std::string("version=") + kNewVersion); },
                          std::chrono::seconds(90)));
    EXPECT_TRUE(WaitUntil([&] { return !fs::exists(ProgramDir() + "/quillory_"); }));
    EXPECT_EQ(WideToFsName(ReadFileVersionRecord(FsNameToWide(ProgramDir() + "/quillory"))),
              kNewVersion);
    EXPECT_EQ(ProcessesRunning(ProgramDir() + "/quillory").size(), 1u);
    EXPECT_FALSE(WaitForWindow("Quillory").empty());
    EXPECT_EQ(RecordedVersion(), "2.0.0.0");
  }
  // A build of the shell whose version record says kNewVersion, published
  // with a manifest that names it as the new executable.
  void PublishNewShell(const std::string& www, const std::string& server_url) {
    const std::string new_shell = www + "/files/quillory";
    fs::create_directories(www + "/files");
    fs::create_directories(fs::path(www + kManifestUrlPath).parent_path());
    fs::copy_file(ShellExecutable(), new_shell);
    ASSERT_TRUE(RewriteFileVersionRecord(FsNameToWide(new_shell), FsNameToWide(kNewVersion)));
    CommandResult pack =
        RunCommand({PackExecutable(), "manifest", "--version", "2.0.0.0", "--out",
                    www + kManifestUrlPath, new_shell + ",," + server_url + "/files/quillory,main"},
                   ShellEnv());
    ASSERT_EQ(pack.exit_code, 0) << pack.output;
  }
  std::string RecordedVersion() {
    return WideToFsName(platform::GetPrivateProfileString(
        L"BASE", L"LastUpdate", L"", FsNameToWide(ProgramDir() + "/config.ini")));
  }

  std::unique_ptr<NginxServer> m_server;
};

TEST_F(SelfUpdateTest, NewExecutableTakesOverThroughTheTwoRestarts) {
  ScriptedServer reports(ScriptedServer::Behaviour::kOk);
  LayOutProgram(reports.Url(""));
  StartUpdateServer();
  Process* first = StartFirstShell();
  ASSERT_TRUE(
      WaitUntil([&] { return Reported(reports, "version=1.0.1.0"); }, std::chrono::seconds(60)));
  const std::string box = WaitForWindow("Quillory - 更新升级", std::chrono::seconds(60));
  ASSERT_FALSE(box.empty());
  EXPECT_TRUE(fs::exists(ProgramDir() + "/quillory_"));
  EXPECT_EQ(RecordedVersion(), "2.0.0.0");
  PressKeys(box, {"Return"});

  // The window closes; at exit the swap executable starts, replaces the main
  // one and starts it; that one removes the swap executable.
  EXPECT_TRUE(first->WaitExit(std::chrono::seconds(30)).has_value());
  ExpectNewShellRunning(reports);
}

TEST_F(SelfUpdateTest, WithABookOpenTheRestartWaitsForTheUsersClose) {
  ScriptedServer reports(ScriptedServer::Behaviour::kOk);
  LayOutProgram(reports.Url(""), "window.external.WinFun('GoBook', '1203', '', '', '', '');");
  StartUpdateServer();
  Process* first = StartFirstShell();
  const std::string box = WaitForWindow("Quillory - 更新升级", std::chrono::seconds(60));
  ASSERT_FALSE(box.empty());
  // Answer the box only once the book has maximised the window, so that the
  // window manager does not raise the window over the box after the answer.
  const std::string window = WaitForWindow("Quillory");
  ASSERT_FALSE(window.empty());
  ASSERT_TRUE(WaitUntil([&] { return HasState(window, "MAXIMIZED_VERT"); }));
  PressKeys(box, {"Return"});

  // The close command only leaves the book: the main page comes back.
  ASSERT_TRUE(WaitUntil([&] { return Reported(reports, "main"); }, std::chrono::seconds(30)));
  EXPECT_TRUE(first->Running());
  EXPECT_TRUE(fs::exists(ProgramDir() + "/quillory_"));

  // The user's close ends the program, and the new executable takes over.
  PressKeys(window, {"Escape"});
  EXPECT_TRUE(first->WaitExit(std::chrono::seconds(30)).has_value());
  ExpectNewShellRunning(reports);
}

}  // namespace
}  // namespace guitest
