// SelectPackage and its worker with a stand-in window: the page protocol,
// the import target, and results that arrive from the worker thread.
#include "commands/package_import.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "commands/command_host.h"
#include "core/diag_log.h"
#include "core/main_window_link.h"
#include "per_platform.h"
#include "zip/sandbox.h"
#include "zip/zip_builder.h"

namespace ziptest {
namespace {

namespace fs = std::filesystem;

class FakeHost : public CommandHost {
 public:
  std::optional<std::wstring> chosen;
  std::vector<std::wstring> scripts;
  int dialogs = 0;
  CommandSettings settings;
  std::wstring package_path;
  MainWindowLink* window = nullptr;

  CommandSettings Settings() const override { return settings; }
  BookMode Book() const override { return {}; }
  void SetBook(BookMode) override {}
  void SetPackagePath(const std::wstring& path) override { package_path = path; }
  MainWindowLink* WindowLink() override { return window; }
  void RunPageScript(const std::wstring& statement) override { scripts.push_back(statement); }
  std::optional<std::wstring> ChoosePackageFile() override {
    ++dialogs;
    return chosen;
  }
  void Navigate(const std::wstring&) override {}
  void EnterReadingMode() override {}
  void EnterWindowedMode(bool) override {}
  void Minimise() override {}
  void ShowMessage(const std::wstring&, platform::MessageIcon) override {}
};

// Collects the results that import workers post, from any thread.
class FakeWindow : public MainWindowLink {
 public:
  void PostUnzipResult(bool ok) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_results.push_back(ok);
    m_changed.notify_all();
  }
  // Waits for the next posted result; a worker that never reports fails the
  // test instead of hanging it.
  bool NextResult() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_changed.wait_for(lock, std::chrono::seconds(60),
                            [this] { return !m_results.empty(); })) {
      ADD_FAILURE() << "no import result within 60 s";
      return false;
    }
    bool ok = m_results.front();
    m_results.pop_front();
    return ok;
  }
  void Post(std::function<void()>) override {}
  void Send(std::function<void()>) override {}
  void SendCancel() override {}
  void ShowMessageBox(const std::wstring&, const std::wstring&, platform::MessageIcon) override {}

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<bool> m_results;
};

class PackageImportTest : public Sandbox {
 protected:
  void SetUp() override {
    Sandbox::SetUp();
    fs::create_directories(root_ / "app" / "Data");
    host_.settings.program_folder = Wide(root_ / "app") + L"/";
    host_.settings.content_folder_name = L"Data";
    host_.window = &Window();
  }
  fs::path DataDir() const { return root_ / "app" / "Data"; }

  // Outlives every worker: a worker may still be returning from its post
  // when the test that waited for it has ended.
  static FakeWindow& Window() {
    static FakeWindow window;
    return window;
  }

  FakeHost host_;
};

TEST_F(PackageImportTest, CancelAnswersThreeBeforeReturning) {
  SelectPackage(host_);
  EXPECT_EQ(host_.dialogs, 1);
  EXPECT_EQ(host_.scripts, std::vector<std::wstring>{L"SetUnzPkg(3);"});
}

TEST_F(PackageImportTest, ValidPackageIsUnpackedIntoDataTwice) {
  ASSERT_TRUE(WriteZip(Archive(), {{"000123/pro.xml", "<Product id=\"123\"/>"}}));
  host_.chosen = Wide(Archive());
  for (int round = 0; round < 2; ++round) {
    SelectPackage(host_);
    EXPECT_TRUE(host_.scripts.empty()) << "the result arrives through the window, later";
    EXPECT_TRUE(Window().NextResult());
    EXPECT_EQ(ReadWhole(DataDir() / "000123" / "pro.xml"), "<Product id=\"123\"/>");
  }
  EXPECT_EQ(host_.package_path, Wide(Archive()));
}

TEST_F(PackageImportTest, BadPackageReportsFailure) {
  ASSERT_TRUE(WriteWhole(Archive(), "not a zip"));
  host_.chosen = Wide(Archive());
  SelectPackage(host_);
  EXPECT_FALSE(Window().NextResult());
}

// One line per import, with the reason, while the log is on; nothing when off.
// The log is a text file: its lines end as the system's text files do.
TEST_F(PackageImportTest, FailedImportLogsItsReasonOnlyWhileTheLogIsOn) {
  const PerPlatform<std::string> line_end{"\n", "\r\n"};
  const fs::path log = root_ / "diag.log";
  ASSERT_TRUE(WriteWhole(Archive(), "not a zip"));
  host_.chosen = Wide(Archive());
  ASSERT_TRUE(OpenDiagnosticLog(log.string()));
  SelectPackage(host_);
  EXPECT_FALSE(Window().NextResult());
  CloseDiagnosticLog();
  SelectPackage(host_);
  EXPECT_FALSE(Window().NextResult());
  const std::string text = ReadWhole(log);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
  EXPECT_NE(text.find("package import: failed: package package.vkp: not a zip archive" +
                      line_end.Here()),
            std::string::npos)
      << text;
}

TEST_F(PackageImportTest, DeveloperModeStillImportsIntoData) {
  fs::create_directories(root_ / "app" / "Deve");
  host_.settings.content_folder_name = L"Deve";
  ASSERT_TRUE(WriteZip(Archive(), {{"000124/pro.xml", "<Product/>"}}));
  host_.chosen = Wide(Archive());
  SelectPackage(host_);
  EXPECT_TRUE(Window().NextResult());
  EXPECT_TRUE(fs::exists(DataDir() / "000124" / "pro.xml"));
  EXPECT_TRUE(fs::is_empty(root_ / "app" / "Deve"));
}

TEST_F(PackageImportTest, OverlappingImportsEachReportOnce) {
  const fs::path other = root_ / "other.vkp";
  ASSERT_TRUE(WriteZip(Archive(), {{"a/one.txt", std::string(200000, '1')}}));
  ASSERT_TRUE(WriteZip(other, {{"b/two.txt", std::string(200000, '2')}}));
  host_.chosen = Wide(Archive());
  SelectPackage(host_);
  host_.chosen = Wide(other);
  SelectPackage(host_);
  EXPECT_TRUE(Window().NextResult());
  EXPECT_TRUE(Window().NextResult());
  EXPECT_TRUE(fs::exists(DataDir() / "a" / "one.txt"));
  EXPECT_TRUE(fs::exists(DataDir() / "b" / "two.txt"));
}

}  // namespace
}  // namespace ziptest
