#include "platform/single_instance.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/temp_folder.h"
#include "shell/child_process.h"
#include "per_platform.h"

namespace {


// Each test gets its own runtime folder, as each user session has one. On
// Windows the lock is a kernel object of the session: the tests' distinct
// lock names keep them apart there.
class SingleInstanceTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    test_support::SetEnv("XDG_RUNTIME_DIR", m_root.string());
  }
  void TearDown() override {
    test_support::UnsetEnv("XDG_RUNTIME_DIR");
    TempFolderTest::TearDown();
  }
};

// Runs the step `step` (a test below) on the lock `name` in a child process
// of this program; 1 when the step succeeded there, 0 when not.
int InChild(const std::string& step, const std::string& name) {
  test_support::SetEnv("QUILLORY_TEST_LOCK", name);
  const int code = test_support::RunTestInChild("ChildStep." + step);
  test_support::UnsetEnv("QUILLORY_TEST_LOCK");
  return code;
}

std::wstring ChildLockName() {
  const char* name = std::getenv("QUILLORY_TEST_LOCK");
  return name == nullptr ? std::wstring() : std::wstring(name, name + std::strlen(name));
}

// The steps run by InChild: each ends its process with its result, without
// letting go of anything it holds.
TEST(ChildStep, DISABLED_Acquire) { std::_Exit(platform::AcquireInstanceLock(ChildLockName())); }
TEST(ChildStep, DISABLED_RequestActivation) {
  std::_Exit(platform::RequestActivation(ChildLockName()));
}

TEST_F(SingleInstanceTest, UsesTheRuntimeFolder) {
  EXPECT_EQ(platform::InstanceRuntimeFolder(), OnWindows() ? "" : m_root.string());
}

TEST_F(SingleInstanceTest, SecondHolderIsRefusedWhileTheFirstLives) {
  ASSERT_TRUE(platform::AcquireInstanceLock(L"Lock1"));
  EXPECT_EQ(InChild("DISABLED_Acquire", "Lock1"), 0);
  EXPECT_EQ(InChild("DISABLED_Acquire", "Other"), 1);
}

TEST_F(SingleInstanceTest, LockOfADeadProcessIsFree) {
  // The child takes the lock and dies without letting it go.
  ASSERT_EQ(InChild("DISABLED_Acquire", "Lock2"), 1);
  EXPECT_TRUE(platform::AcquireInstanceLock(L"Lock2"));
}

TEST_F(SingleInstanceTest, ActivationRequestReachesTheListener) {
  std::atomic<int> requests{0};
  EXPECT_FALSE(platform::RequestActivation(L"Lock3"));  // nobody listens yet
  ASSERT_TRUE(platform::AcquireInstanceLock(L"Lock3"));
  platform::ListenForActivation(L"Lock3", [&] { ++requests; });
  EXPECT_EQ(InChild("DISABLED_RequestActivation", "Lock3"), 1);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (requests == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(requests, 1);
}

TEST_F(SingleInstanceTest, FallsBackToAPrivateTmpFolder) {
  // Windows keeps the lock in the session's namespace: there is no folder.
  if (OnWindows()) GTEST_SKIP() << "no runtime folder on Windows";
  test_support::SetEnv("XDG_RUNTIME_DIR", "");
  const std::string folder = platform::InstanceRuntimeFolder();
  EXPECT_EQ(folder, test_support::PrivateTmpFolderOfThisUser());
  EXPECT_EQ(std::filesystem::status(folder).permissions(), std::filesystem::perms::owner_all);
}

}  // namespace
