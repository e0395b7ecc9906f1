// A temporary folder per test, removed afterwards, and small file helpers.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <random>
#include <set>
#include <string>

#include "platform/fs.h"

namespace ziptest {

class Sandbox : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    std::random_device random;
    root_ = std::filesystem::temp_directory_path() /
            ("quillory-zip-" + std::to_string(random()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(root_ / "target");
  }
  void TearDown() override {
    std::error_code ignored;
    // Read-only files inside must not stop the clean-up.
    std::filesystem::permissions(root_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(root_, ignored);
  }

  static std::wstring Wide(const std::filesystem::path& path) {
    return platform::FromFsName(path.u8string());
  }
  std::filesystem::path Target() const { return root_ / "target"; }
  std::filesystem::path Archive() const { return root_ / "package.vkp"; }

  // Every path below `folder`, relative, "/"-separated; folders end in "/".
  static std::set<std::string> Tree(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& item : std::filesystem::recursive_directory_iterator(folder)) {
      std::string name = item.path().lexically_relative(folder).generic_string();
      names.insert(item.is_directory() ? name + "/" : name);
    }
    return names;
  }

  std::filesystem::path root_;
};

}  // namespace ziptest
