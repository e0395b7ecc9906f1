#include "platform/feature_control.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class FeatureControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quillory-feature-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_folder = pattern;
  }
  void TearDown() override {
    unsetenv("QUILLORY_FEATURE_CONTROL_FILE");
    fs::remove_all(m_folder);
  }
  fs::path m_folder;
};

TEST_F(FeatureControlTest, WritesValueUnderFeatureAndExecutableCreatingTheStore) {
  fs::path store = m_folder / "machine" / "feature_control.ini";
  setenv("QUILLORY_FEATURE_CONTROL_FILE", store.c_str(), 1);
  platform::WriteFeatureControl(L"FEATURE_BROWSER_EMULATION", 8000, L"quillory");
  platform::WriteFeatureControl(L"FEATURE_BROWSER_EMULATION", 8000, L"quillory");
  platform::WriteFeatureControl(L"FEATURE_BROWSER_EMULATION", 8000, L"other");
  EXPECT_EQ(ReadAll(store), "[FEATURE_BROWSER_EMULATION]\nquillory=8000\nother=8000\n");
}

TEST_F(FeatureControlTest, UnwritableStoreIsIgnoredSilently) {
  fs::path blocker = m_folder / "file";
  std::ofstream(blocker) << "x";
  setenv("QUILLORY_FEATURE_CONTROL_FILE", (blocker / "store.ini").c_str(), 1);
  platform::WriteFeatureControl(L"FEATURE_BROWSER_EMULATION", 8000, L"quillory");
  EXPECT_EQ(ReadAll(blocker), "x");
}

TEST_F(FeatureControlTest, DefaultStoreIsMachineWide) {
  unsetenv("QUILLORY_FEATURE_CONTROL_FILE");
  EXPECT_EQ(platform::FeatureControlStorePath(), L"/etc/quillory/feature_control.ini");
}

}  // namespace
