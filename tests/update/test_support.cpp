// Helpers for the update tests.
#include "update/test_support.h"

#include <minizip/zip.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "platform/fs.h"

namespace fs = std::filesystem;

namespace update_test {

TempFolder::TempFolder() {
  std::random_device random;
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const fs::path candidate =
        fs::temp_directory_path() / ("quillory-update-" + std::to_string(random()));
    if (fs::create_directory(candidate)) path_ = candidate.string();
  }
  if (path_.empty()) throw std::runtime_error("no temporary folder could be made");
}

TempFolder::~TempFolder() {
  std::error_code error;
  fs::remove_all(path_, error);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::u8path(path).parent_path());
  std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(fs::u8path(path), std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string ReadText(const std::string& path) {
  std::ifstream in(fs::u8path(path));
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::symlink_status(fs::u8path(path), error).type() != fs::file_type::not_found && !error;
}

std::string SampleBytes(std::size_t length, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(length, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

std::map<std::string, std::string> ListTree(const std::string& folder) {
  std::map<std::string, std::string> files;
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    if (it->is_regular_file()) {
      files[fs::relative(it->path(), folder).string()] = ReadFile(it->path().string());
    }
  }
  return files;
}

void WriteZip(const std::string& path, const std::map<std::string, std::string>& entries) {
  zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
  if (zip == nullptr) throw std::runtime_error("zipOpen failed");
  for (const auto& [name, bytes] : entries) {
    zip_fileinfo info{};
    zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                        Z_DEFAULT_COMPRESSION);
    zipWriteInFileInZip(zip, bytes.data(), static_cast<unsigned>(bytes.size()));
    zipCloseFileInZip(zip);
  }
  zipClose(zip, nullptr);
}

int RunProcess(const std::vector<std::string>& argv, const std::string& stdout_path) {
  return WaitProcess(SpawnProcess(argv, stdout_path));
}

std::string SiblingProgram(const std::string& name) {
  const fs::path self(platform::ExecutablePath());
  return (self.parent_path() / (name + platform::ToFsName(platform::kExeSuffix))).string();
}

bool WaitFor(const std::function<bool()>& condition, double limit_seconds) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(limit_seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void RecordingWindow::ShowMessageBox(const std::wstring& text, const std::wstring& caption,
                                     platform::MessageIcon icon) {
  const wchar_t* icon_name = icon == platform::MessageIcon::kInformation ? L"information"
                             : icon == platform::MessageIcon::kError     ? L"error"
                                                                         : L"warning";
  Record(L"box|" + text + L"|" + caption + L"|" + icon_name);
}

std::vector<std::wstring> RecordingWindow::calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

void RecordingWindow::Record(const std::wstring& call) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back(call);
}

}  // namespace update_test
