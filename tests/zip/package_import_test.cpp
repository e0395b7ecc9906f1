// SelectPackage and its worker with a stand-in window: the page protocol,
// the import target, and results that arrive from the worker thread.
#include "commands/package_import.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "commands/command_host.h"
#include "core/main_window_link.h"
#include "shell/shared_values.h"
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

  void RunPageScript(const std::wstring& statement) override { scripts.push_back(statement); }
  std::optional<std::wstring> ChoosePackageFile() override {
    ++dialogs;
    return chosen;
  }
  void Navigate(const std::wstring&) override {}
  void EnterReadingMode() override {}
  void EnterWindowedMode(bool) override {}
  void Minimise() override {}
  void ShowMessage(const std::wstring&, MessageKind) override {}
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
  void ShowMessageBox(const std::wstring&, const std::wstring&, Icon) override {}

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
    g_strAppDir = Wide(root_ / "app") + L"/";
    g_strDataDir = L"Data";
    g_hMainWnd = &Window();
  }
  void TearDown() override {
    g_hMainWnd = nullptr;
    Sandbox::TearDown();
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
  EXPECT_EQ(g_strPackagePath, Wide(Archive()));
}

TEST_F(PackageImportTest, BadPackageReportsFailure) {
  ASSERT_TRUE(WriteWhole(Archive(), "not a zip"));
  host_.chosen = Wide(Archive());
  SelectPackage(host_);
  EXPECT_FALSE(Window().NextResult());
}

TEST_F(PackageImportTest, DeveloperModeStillImportsIntoData) {
  fs::create_directories(root_ / "app" / "Deve");
  g_strDataDir = L"Deve";
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
