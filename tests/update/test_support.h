// Helpers for the update tests: a temporary folder, small file helpers, child
// processes, zip archives and a host window stand-in.
#pragma once

#include <cstdint>
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
// The file read as text: a CR LF line end, as Windows programs write in text
// mode, reads as "\n".
std::string ReadText(const std::string& path);
bool Exists(const std::string& path);
// Deterministic bytes of the given length.
std::string SampleBytes(std::size_t length, unsigned seed);
// Every file below `folder`, as relative path -> bytes.
std::map<std::string, std::string> ListTree(const std::string& folder);

// Writes a zip archive holding `entries` (name -> bytes).
void WriteZip(const std::string& path, const std::map<std::string, std::string>& entries);

// Child processes and links, made the platform's way (test_process_*.cpp).
// A program named by a path that starts with "/" is one of Linux's (nginx,
// openssl, minisign); on Windows, Wine runs it outside itself, and Windows
// paths among its arguments are handed to it as Linux paths.
using ProcessId = std::int64_t;
inline constexpr ProcessId kNoProcess = -1;
// Starts a program; the child's standard output goes to `stdout_path` when
// not empty ("/dev/null" throws it away on either system). kNoProcess when it
// could not be started.
ProcessId SpawnProcess(const std::vector<std::string>& argv, const std::string& stdout_path = "");
// Waits for a child; its exit code, or -1 when it did not exit normally.
int WaitProcess(ProcessId child);
int RunProcess(const std::vector<std::string>& argv, const std::string& stdout_path = "");
// True once the child has ended (WaitProcess then returns at once).
bool HasExited(ProcessId child);
// Ends the child at once, as a crash would, and waits for it.
void KillProcess(ProcessId child);
// Asks the child to end (SIGTERM) and waits for it.
void StopProcess(ProcessId child);
// Sets a variable of this process's environment, which children inherit.
void SetEnvironment(const std::string& name, const std::string& value);
// `path` as Linux's programs see it (unchanged on Linux).
std::string LinuxPath(const std::string& path);
// True under Wine, whose WinINet keeps neither the connect time-out nor the
// receive time-out in the middle of a body.
bool UnderWine();
// Makes a symbolic link at `link` to the folder or file `target`; false
// where the system makes none (Wine accepts the call and makes nothing).
bool MakeSymlink(const std::string& target, const std::string& link, bool folder);

// The program `name` built beside this test program (with the system's suffix).
std::string SiblingProgram(const std::string& name);

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
  void ShowMessageBox(const std::wstring& text, const std::wstring& caption,
                      platform::MessageIcon icon) override;
  std::vector<std::wstring> calls() const;

 private:
  void Record(const std::wstring& call);
  mutable std::mutex mutex_;
  std::vector<std::wstring> calls_;
};

}  // namespace update_test
