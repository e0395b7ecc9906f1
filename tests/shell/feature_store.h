// The feature-control store of a test, moved out of the machine's way: an
// INI file in the test's folder on Linux; on Windows the registry roots of
// this process, redirected to keys of the test's own.
#pragma once

#include <filesystem>
#include <string>

namespace test_support {

class TestFeatureStore {
 public:
  explicit TestFeatureStore(const std::filesystem::path& folder);
  ~TestFeatureStore();
  TestFeatureStore(const TestFeatureStore&) = delete;
  TestFeatureStore& operator=(const TestFeatureStore&) = delete;

  // From now on every write to the store fails.
  void RefuseWrites();
  // What the store holds, written as INI text: "[feature]\nname=value\n"
  // for each value in the order of writing; "" when there is no store.
  std::string Text() const;

 private:
  std::filesystem::path m_folder;
};

}  // namespace test_support
