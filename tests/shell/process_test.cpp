#include "platform/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/fs.h"
#include "platform/socket_layer.h"
#include "platform/temp_folder.h"
#include "shell/child_process.h"
#include "per_platform.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kMarkerTest = "ProcessTest.DISABLED_WriteDetachmentMark";

class ProcessTest : public TempFolderTest {
 protected:
  // A copy of this test program named `name` that, started without
  // arguments, writes its detachment mark next to itself.
  std::string WriteStarter(const std::string& name) {
    const std::string path = Path(name) + (OnWindows() ? ".exe" : "");
    fs::copy_file(test_support::ThisProgram(), path);
    // The environment picks the one test a started copy runs.
    test_support::SetEnv("GTEST_FILTER", kMarkerTest);
    test_support::SetEnv("GTEST_ALSO_RUN_DISABLED_TESTS", "1");
    return path;
  }
  void TearDown() override {
    test_support::UnsetEnv("GTEST_FILTER");
    test_support::UnsetEnv("GTEST_ALSO_RUN_DISABLED_TESTS");
    // The started copies may still be ending.
    for (int attempt = 0; attempt < 200; ++attempt) {
      std::error_code ec;
      fs::remove_all(m_root, ec);
      if (!ec) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

  static bool WaitForFile(const std::string& path) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      std::error_code ec;
      if (fs::exists(path) && fs::file_size(path, ec) > 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
};

// Run by the tests below inside a copy of this program.
TEST_F(ProcessTest, DISABLED_WriteDetachmentMark) {
  std::ofstream(platform::ToFsName(platform::ExecutablePath()) + ".ran")
      << test_support::DetachmentMark() << "\n";
}

TEST_F(ProcessTest, StartsExecutableDetached) {
  const std::string starter = WriteStarter("Start");
  ASSERT_TRUE(platform::StartDetached(platform::FromFsName(starter)));
  ASSERT_TRUE(WaitForFile(starter + ".ran"));
  std::string mark;
  std::getline(std::ifstream(starter + ".ran"), mark);
  EXPECT_NE(mark, test_support::DetachmentMark());
}

TEST_F(ProcessTest, ShellOpenStartsExecutables) {
  const std::string starter = WriteStarter("Open");
  ASSERT_TRUE(platform::ShellOpen(platform::FromFsName(starter)));
  EXPECT_TRUE(WaitForFile(starter + ".ran"));
}

TEST_F(ProcessTest, RefusesWhatCannotBeStarted) {
  Write("notes.txt", "text");
  EXPECT_FALSE(platform::StartDetached(WPath("notes.txt")));  // not executable
  EXPECT_FALSE(platform::StartDetached(m_root.wstring()));    // a folder
  EXPECT_FALSE(platform::StartDetached(L"/nonexistent/Start"));
  EXPECT_FALSE(platform::ShellOpen(L"/nonexistent/Start"));
  EXPECT_FALSE(platform::ShellOpen(L""));
}

TEST(SocketLayerTest, StartsAndCanBeMadeToFail) {
  EXPECT_TRUE(platform::InitSocketLayer());
  test_support::SetEnv("QUILLORY_FAIL_SOCKET_INIT", "1");
  EXPECT_FALSE(platform::InitSocketLayer());
  test_support::UnsetEnv("QUILLORY_FAIL_SOCKET_INIT");
}

}  // namespace
