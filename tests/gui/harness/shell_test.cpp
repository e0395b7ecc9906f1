// The GUI test fixture.
#include "gui/harness/shell_test.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace guitest {
namespace {

std::string Configured(const char* name, const char* built_in) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : built_in;
}

std::string TestName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return info == nullptr ? "test" : std::string(info->test_suite_name()) + "." + info->name();
}

std::string Tail(const std::string& path, std::size_t bytes) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  std::string all = text.str();
  return all.size() > bytes ? all.substr(all.size() - bytes) : all;
}

}  // namespace

std::string ShellExecutable() { return Configured("QUILLORY_TEST_SHELL_EXE", QUILLORY_TEST_SHELL_EXE); }
std::string PackExecutable() { return Configured("QUILLORY_TEST_PACK_EXE", QUILLORY_TEST_PACK_EXE); }
std::string SampleContentDir() {
  return Configured("QUILLORY_TEST_CONTENT_DIR", QUILLORY_TEST_CONTENT_DIR);
}
std::string ArtifactsDir() {
  return Configured("QUILLORY_TEST_ARTIFACTS_DIR", QUILLORY_TEST_ARTIFACTS_DIR);
}

void ShellTest::SetUp() {
  XSession& x = XSession::Get();
  ASSERT_TRUE(x.Ready()) << "no X session";
  char pattern[] = "/tmp/quillory-gui-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  m_root = pattern;
  fs::create_directories(ProgramDir());
  fs::create_directories(m_root + "/runtime");
  chmod((m_root + "/runtime").c_str(), 0700);
  m_env = {{"DISPLAY", x.Display()},
           {"XDG_RUNTIME_DIR", m_root + "/runtime"},
           {"XDG_CACHE_HOME", m_root + "/xdg/cache"},
           {"XDG_DATA_HOME", m_root + "/xdg/data"},
           {"XDG_CONFIG_HOME", m_root + "/xdg/config"},
           {"GSETTINGS_BACKEND", "memory"},
           {"NO_AT_BRIDGE", "1"},
           {"QUILLORY_UPDATE_SERVER", "http://127.0.0.1:9"},
           {"QUILLORY_FEATURE_CONTROL_FILE", m_root + "/feature_control.ini"}};
}

void ShellTest::TearDown() {
  if (HasFailure() && !m_root.empty()) {
    std::string shot = Screenshot(TestName());
    std::cerr << "screenshot: " << shot << "\n--- shell.log (tail) ---\n"
              << Tail(m_root + "/shell.log", 3000) << "\n--- webdriver.log (tail) ---\n"
              << Tail(m_root + "/webdriver.log", 3000) << std::endl;
  }
  m_driver.reset();
  m_processes.clear();
  if (m_root.empty()) return;
  KillProcessesUnder(m_root);
  std::error_code ignored;
  fs::remove_all(m_root, ignored);
}

std::string ShellTest::InstallShell(const std::string& name) {
  std::string target = ProgramDir() + "/" + name;
  fs::copy_file(ShellExecutable(), target, fs::copy_options::overwrite_existing);
  return target;
}

void ShellTest::WriteProgramFile(const std::string& relative, const std::string& content) {
  fs::path path = fs::path(ProgramDir()) / relative;
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

void ShellTest::CopySampleContent(const std::string& relative) {
  fs::path target = fs::path(ProgramDir()) / relative;
  fs::create_directories(target);
  for (const fs::directory_entry& entry : fs::directory_iterator(SampleContentDir())) {
    // content/packages holds the sources of the sample package, not content.
    if (entry.is_directory() && entry.path().filename() != "packages") {
      fs::copy(entry.path(), target / entry.path().filename(), fs::copy_options::recursive);
    }
  }
}

bool ShellTest::BuildDataStore(const std::string& plain_dir) {
  CommandResult r = RunCommand({PackExecutable(), "store", plain_dir, ProgramDir() + "/Data", "--force"});
  return r.exit_code == 0;
}

void ShellTest::LayOutSampleProgram() {
  InstallShell();
  CopySampleContent("../plain");
  ASSERT_TRUE(BuildDataStore(m_root + "/plain"));
}

Process* ShellTest::StartShell(const std::vector<std::string>& args, const std::string& name,
                               const Env& extra_env) {
  std::vector<std::string> argv{ProgramDir() + "/" + name};
  argv.insert(argv.end(), args.begin(), args.end());
  Env env = m_env;
  for (const auto& [key, value] : extra_env) env[key] = value;
  m_processes.push_back(Process::Start(argv, env, m_root + "/shell.log"));
  return m_processes.back().get();
}

WebDriver* ShellTest::StartDrivenShell(const std::string& name) {
  m_driver = std::make_unique<WebDriver>(m_env, m_root + "/webdriver.log");
  if (!m_driver->Ready()) {
    ADD_FAILURE() << "WebKitWebDriver did not start";
    return nullptr;
  }
  std::string error;
  if (!m_driver->StartSession(ProgramDir() + "/" + name, &error)) {
    ADD_FAILURE() << "no WebDriver session: " << error;
    return nullptr;
  }
  return m_driver.get();
}

Json ShellTest::Script(const std::string& script) {
  std::string error;
  std::optional<Json> value = m_driver ? m_driver->Execute(script, &error) : std::nullopt;
  EXPECT_TRUE(value.has_value()) << "script failed: " << error << "\n" << script;
  return value.value_or(Json());
}

std::optional<std::string> ShellTest::ScriptError(const std::string& script) {
  std::string error;
  if (m_driver && m_driver->Execute(script, &error)) return std::nullopt;
  return error;
}

bool ShellTest::WaitForScript(const std::string& condition, std::chrono::milliseconds timeout) {
  if (!m_driver) return false;
  return WaitUntil([&] {
    std::optional<Json> value = m_driver->Execute("return !!(" + condition + ");");
    return value && value->boolean;
  }, timeout);
}

bool ShellTest::WaitForPage(const std::string& page) {
  return WaitForScript("location.pathname.endsWith(" + QuoteJson(page) +
                       ") && document.readyState === 'complete'");
}

bool ShellTest::WaitForReceived(const std::string& call) {
  return WaitForScript("window.quillory && window.quillory.received.indexOf(" + QuoteJson(call) +
                       ") >= 0");
}

std::string ShellTest::WaitForWindow(const std::string& title, std::chrono::milliseconds timeout) {
  std::string found;
  WaitUntil([&] {
    CommandResult r = Xdo({"search", "--onlyvisible", "--name", "^" + title + "$"});
    std::istringstream lines(r.output);
    std::getline(lines, found);
    return !found.empty();
  }, timeout);
  return found;
}

std::vector<std::string> ShellTest::WindowState(const std::string& window) {
  CommandResult r = RunCommand({"xprop", "-id", window, "_NET_WM_STATE"}, m_env);
  std::vector<std::string> states;
  const std::string prefix = "_NET_WM_STATE_";
  for (std::size_t at = r.output.find(prefix); at != std::string::npos;
       at = r.output.find(prefix, at + 1)) {
    std::size_t start = at + prefix.size();
    std::size_t end = r.output.find_first_of(", \n", start);
    states.push_back(r.output.substr(start, end - start));
  }
  return states;
}

bool ShellTest::HasState(const std::string& window, const std::string& state) {
  for (const std::string& s : WindowState(window))
    if (s == state) return true;
  return false;
}

CommandResult ShellTest::Xdo(const std::vector<std::string>& args) {
  std::vector<std::string> argv{"xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunCommand(argv, m_env);
}

void ShellTest::PressKeys(const std::string& window, const std::vector<std::string>& keys) {
  Xdo({"windowactivate", "--sync", window});
  std::vector<std::string> args{"key", "--clearmodifiers"};
  args.insert(args.end(), keys.begin(), keys.end());
  Xdo(args);
}

void ShellTest::ClickAt(const std::string& window, int x, int y, int button) {
  Xdo({"windowactivate", "--sync", window});
  // No --sync: it waits for a motion that never comes when the pointer is
  // already there. The X server handles the move before the click anyway.
  Xdo({"mousemove", "--window", window, std::to_string(x), std::to_string(y)});
  Xdo({"click", std::to_string(button)});
}

std::string ShellTest::Screenshot(const std::string& name) {
  fs::create_directories(ArtifactsDir());
  std::string path = ArtifactsDir() + "/" + name + ".png";
  RunCommand({"import", "-window", "root", path}, m_env);
  return path;
}

}  // namespace guitest
