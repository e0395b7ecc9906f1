// A fresh temporary folder per test, removed afterwards.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_root = std::filesystem::temp_directory_path() /
             (std::string("quillory_") + info->test_suite_name() + "_" + info->name() + "_" +
              std::to_string(::getpid()));
    std::filesystem::remove_all(m_root);
    std::filesystem::create_directories(m_root);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(m_root, ec);
  }

  // Path of `name` (UTF-8) inside the folder: as a path, as a UTF-8
  // file-system name and as a wide string. Names are read as UTF-8 on every
  // platform; the narrow form of a path on Windows is the ANSI code page.
  std::filesystem::path FsPath(const std::string& name) const {
    return m_root / std::filesystem::u8path(name);
  }
  std::string Path(const std::string& name) const { return FsPath(name).u8string(); }
  std::wstring WPath(const std::string& name) const { return FsPath(name).wstring(); }

  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(FsPath(name), std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(FsPath(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::filesystem::path m_root;
};
