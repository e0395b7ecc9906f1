// A throw-away program folder for command tests: a fresh temporary folder
// with a content folder "Data", the process-wide values pointed at it, and
// book mode reset. Removed again after each test.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>

#include "shell/shared_values.h"

// Writes a file whole, creating its folders.
inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}
inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Waits (bounded) for a file that a started program creates.
inline bool AppearsWithin(const std::filesystem::path& path, std::chrono::seconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (std::filesystem::exists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

// Writes a small program that creates `mark` when it runs.
inline void WriteMarkingProgram(const std::filesystem::path& program,
                                const std::filesystem::path& mark) {
  WriteBytes(program, "#!/bin/sh\ntouch '" + mark.string() + "'\n");
  std::filesystem::permissions(program, std::filesystem::perms::owner_all);
}

class ProgramFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    root_ = std::filesystem::temp_directory_path() /
            ("quillory-commands-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(root_ / "Data");
    g_strAppDir = root_.wstring() + L"/";
    g_strDataDir = L"Data";
    g_strConfigPath = g_strAppDir + L"config.ini";
    g_strPort = L"4321";
    g_strServerUrl = L"https://update.quillory.example";
    g_strVersion = L"1.0.1.0";
    g_bInBook = false;
    g_strBookKey.clear();
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
    g_bInBook = false;
    g_strBookKey.clear();
  }

  std::filesystem::path Content() const { return root_ / "Data"; }
  std::filesystem::path ConfigFile() const { return root_ / "config.ini"; }

  std::filesystem::path root_;
};
