#include "platform/process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/socket_layer.h"

namespace {

namespace fs = std::filesystem;

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quillory-process-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_folder = pattern;
  }
  void TearDown() override { fs::remove_all(m_folder); }

  // A script that writes its session id next to itself.
  std::string WriteScript(const std::string& name) {
    std::string path = m_folder + "/" + name;
    std::ofstream(path) << "#!/bin/sh\nps -o sid= -p $$ > \"$0.ran\"\n";
    chmod(path.c_str(), 0755);
    return path;
  }

  static bool WaitForFile(const std::string& path) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      if (fs::exists(path) && fs::file_size(path) > 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  std::string m_folder;
};

TEST_F(ProcessTest, StartsExecutableInItsOwnSession) {
  std::string script = WriteScript("Start");
  ASSERT_TRUE(platform::StartDetached(fs::path(script).wstring()));
  ASSERT_TRUE(WaitForFile(script + ".ran"));
  std::ifstream in(script + ".ran");
  long session = 0;
  in >> session;
  EXPECT_NE(session, static_cast<long>(getsid(0)));
}

TEST_F(ProcessTest, ShellOpenStartsExecutables) {
  std::string script = WriteScript("Open");
  ASSERT_TRUE(platform::ShellOpen(fs::path(script).wstring()));
  EXPECT_TRUE(WaitForFile(script + ".ran"));
}

TEST_F(ProcessTest, RefusesWhatCannotBeStarted) {
  std::string plain = m_folder + "/notes.txt";
  std::ofstream(plain) << "text";
  EXPECT_FALSE(platform::StartDetached(fs::path(plain).wstring()));  // not executable
  EXPECT_FALSE(platform::StartDetached(fs::path(m_folder).wstring()));  // a folder
  EXPECT_FALSE(platform::StartDetached(L"/nonexistent/Start"));
  EXPECT_FALSE(platform::ShellOpen(L"/nonexistent/Start"));
  EXPECT_FALSE(platform::ShellOpen(L""));
}

TEST(SocketLayerTest, StartsAndCanBeMadeToFail) {
  EXPECT_TRUE(platform::InitSocketLayer());
  setenv("QUILLORY_FAIL_SOCKET_INIT", "1", 1);
  EXPECT_FALSE(platform::InitSocketLayer());
  unsetenv("QUILLORY_FAIL_SOCKET_INIT");
}

}  // namespace
