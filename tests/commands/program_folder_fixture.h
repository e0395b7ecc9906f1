// A throw-away program folder for command tests: a fresh temporary folder
// with a content folder "Data", and a recording host whose set-up points at
// it. Removed again after each test.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>

#include "fake_command_host.h"
#include "platform/fs.h"

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

// Puts a program at `program` that creates `mark` when it runs: a copy of
// quillory-mark-started (built beside this test program, a real executable
// for the system) and the name of the mark beside it.
inline void WriteMarkingProgram(const std::filesystem::path& program,
                                const std::filesystem::path& mark) {
  const std::filesystem::path self(platform::ExecutablePath());
  const std::wstring helper = L"quillory-mark-started" + std::wstring(platform::kExeSuffix);
  std::filesystem::create_directories(program.parent_path());
  std::filesystem::copy_file(self.parent_path() / helper, program,
                             std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(program, std::filesystem::perms::owner_all);
  WriteBytes(program.wstring() + L".mark", mark.u8string());
}

class ProgramFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    root_ = std::filesystem::temp_directory_path() /
            ("quillory-commands-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(root_ / "Data");
    const std::wstring program = root_.wstring() + L"/";
    host_.settings = {program,    L"Data",
                      L"4321",    L"https://update.quillory.example",
                      L"1.0.1.0", program + L"config.ini"};
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  std::filesystem::path Content() const { return root_ / "Data"; }
  std::filesystem::path ConfigFile() const { return root_ / "config.ini"; }

  std::filesystem::path root_;
  FakeCommandHost host_;
};
