// Helpers for the update tests: a temporary folder, small file helpers, child
// processes, zip archives and a host window stand-in.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "core/main_window_link.h"

namespace update_test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  // The folder's path without a trailing separator.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Writes `bytes` to `path`, creating the parent folders.
void WriteFile(const std::string& path, const std::string& bytes);
// The file's bytes, or "<missing>" when it cannot be read.
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
// Deterministic bytes of the given length.
std::string SampleBytes(std::size_t length, unsigned seed);
// Every file below `folder`, as relative path -> bytes.
std::map<std::string, std::string> ListTree(const std::string& folder);

// Writes a zip archive holding `entries` (name -> bytes).
void WriteZip(const std::string& path, const std::map<std::string, std::string>& entries);

// Starts a program; the child's standard output goes to `stdout_path` when not empty.
pid_t SpawnProcess(const std::vector<std::string>& argv, const std::string& stdout_path = "");
// Waits for a child; its exit code, or -1 when it did not exit normally.
int WaitProcess(pid_t pid);
int RunProcess(const std::vector<std::string>& argv, const std::string& stdout_path = "");

// Waits until `condition` holds, checking every few milliseconds, for at most
// `limit_seconds`. Returns the condition's last value.
bool WaitFor(const std::function<bool()>& condition, double limit_seconds);

// The host window as the update thread sees it: records what it was asked.
class RecordingWindow : public MainWindowLink {
 public:
  void Post(std::function<void()> task) override { task(); }
  void Send(std::function<void()> task) override { task(); }
  void PostUnzipResult(bool) override {}
  void SendCancel() override { Record(L"cancel"); }
  void ShowMessageBox(const std::wstring& text, const std::wstring& caption, Icon icon) override;
  std::vector<std::wstring> calls() const;

 private:
  void Record(const std::wstring& call);
  mutable std::mutex mutex_;
  std::vector<std::wstring> calls_;
};

}  // namespace update_test
