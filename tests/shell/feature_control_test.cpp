#include "platform/feature_control.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/temp_folder.h"
#include "shell/child_process.h"
#include "shell/feature_store.h"
#include "per_platform.h"

namespace {

using test_support::TestFeatureStore;

class FeatureControlTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    m_store = std::make_unique<TestFeatureStore>(m_root);
  }
  void TearDown() override {
    m_store.reset();
    TempFolderTest::TearDown();
  }
  std::unique_ptr<TestFeatureStore> m_store;
};

TEST_F(FeatureControlTest, WritesValueUnderFeatureAndExecutableCreatingTheStore) {
  platform::WriteFeatureControl(L"FEATURE_BROWSER_EMULATION", 8000, L"quillory");
  platform::WriteFeatureControl(L"FEATURE_BROWSER_EMULATION", 8000, L"quillory");
  platform::WriteFeatureControl(L"FEATURE_BROWSER_EMULATION", 8000, L"quillory_");
  EXPECT_EQ(m_store->Text(), "[FEATURE_BROWSER_EMULATION]\nquillory=8000\nquillory_=8000\n");
}

TEST_F(FeatureControlTest, UnwritableStoreIsIgnoredSilently) {
  m_store->RefuseWrites();
  platform::WriteFeatureControl(L"FEATURE_BROWSER_EMULATION", 8000, L"quillory");
  EXPECT_EQ(m_store->Text(), "");
  if (!OnWindows()) {
    EXPECT_EQ(Read("file"), "x");  // the Linux store's blocker
  }
}

TEST(FeatureControlStoreTest, DefaultStoreIsMachineWide) {
  test_support::UnsetEnv("QUILLORY_FEATURE_CONTROL_FILE");
  const wchar_t* posix = L"/etc/quillory/feature_control.ini";
  const wchar_t* windows = L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl";
  EXPECT_EQ(platform::FeatureControlStorePath(), OnWindows() ? windows : posix);
}

}  // namespace
