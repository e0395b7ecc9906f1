// Helpers for the update tests.
#include "update/test_support.h"

#include <fcntl.h>
#include <minizip/zip.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;

namespace update_test {

TempFolder::TempFolder() {
  std::string pattern = (fs::temp_directory_path() / "quillory-update-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code error;
  fs::remove_all(path_, error);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::symlink_status(path, error).type() != fs::file_type::not_found && !error;
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

pid_t SpawnProcess(const std::vector<std::string>& argv, const std::string& stdout_path) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!stdout_path.empty()) {
    posix_spawn_file_actions_addopen(&actions, 1, stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
  }
  pid_t pid = -1;
  const int result = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return result == 0 ? pid : -1;
}

int WaitProcess(pid_t pid) {
  int status = 0;
  if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RunProcess(const std::vector<std::string>& argv, const std::string& stdout_path) {
  return WaitProcess(SpawnProcess(argv, stdout_path));
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
