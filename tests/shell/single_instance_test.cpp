#include "platform/single_instance.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

// Each test gets its own runtime folder, as each user session has one.
class SingleInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quillory-instance-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_folder = pattern;
    setenv("XDG_RUNTIME_DIR", m_folder.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("XDG_RUNTIME_DIR");
    std::filesystem::remove_all(m_folder);
  }
  std::string m_folder;
};

// Runs `body` in a child process; its exit code.
template <typename Body>
int InChild(Body body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SingleInstanceTest, UsesTheRuntimeFolder) {
  EXPECT_EQ(platform::InstanceRuntimeFolder(), m_folder);
}

TEST_F(SingleInstanceTest, SecondHolderIsRefusedWhileTheFirstLives) {
  ASSERT_TRUE(platform::AcquireInstanceLock(L"Lock1"));
  EXPECT_EQ(InChild([] { return platform::AcquireInstanceLock(L"Lock1") ? 1 : 0; }), 0);
  EXPECT_EQ(InChild([] { return platform::AcquireInstanceLock(L"Other") ? 1 : 0; }), 1);
}

TEST_F(SingleInstanceTest, LockOfADeadProcessIsFree) {
  // The child takes the lock and dies without letting it go.
  ASSERT_EQ(InChild([] { return platform::AcquireInstanceLock(L"Lock2") ? 1 : 0; }), 1);
  EXPECT_TRUE(platform::AcquireInstanceLock(L"Lock2"));
}

TEST_F(SingleInstanceTest, ActivationRequestReachesTheListener) {
  std::atomic<int> requests{0};
  EXPECT_FALSE(platform::RequestActivation(L"Lock3"));  // nobody listens yet
  ASSERT_TRUE(platform::AcquireInstanceLock(L"Lock3"));
  platform::ListenForActivation(L"Lock3", [&] { ++requests; });
  EXPECT_EQ(InChild([] { return platform::RequestActivation(L"Lock3") ? 1 : 0; }), 1);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (requests == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(requests, 1);
}

TEST_F(SingleInstanceTest, FallsBackToAPrivateTmpFolder) {
  setenv("XDG_RUNTIME_DIR", "", 1);
  std::string folder = platform::InstanceRuntimeFolder();
  EXPECT_EQ(folder, "/tmp/quillory-" + std::to_string(getuid()));
  struct stat info {};
  ASSERT_EQ(stat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
}

}  // namespace
