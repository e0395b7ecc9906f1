// Child processes of the update tests on Windows (under Wine). Windows
// programs are started with CreateProcessW and waited for or ended through
// their handle. Linux programs (a path starting with "/") run outside Wine,
// which starts them but hands back no handle: each runs below /bin/sh, which
// writes the program's process id and then its exit status into a record
// folder, and a second shell sends it signals.
#include <windows.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "platform/fs.h"
#include "update/test_support.h"
#include "win32_command_line.h"

namespace update_test {
namespace {

namespace fs = std::filesystem;

struct Child {
  HANDLE process = nullptr;  // a Windows program
  std::string record;        // a Linux program: its record folder
};

std::mutex children_mutex;
std::map<ProcessId, Child> children;
ProcessId last_id = 0;

ProcessId Remember(const Child& child) {
  std::lock_guard<std::mutex> lock(children_mutex);
  children[++last_id] = child;
  return last_id;
}

Child Find(ProcessId id) {
  std::lock_guard<std::mutex> lock(children_mutex);
  const auto found = children.find(id);
  return found == children.end() ? Child() : found->second;
}

void Forget(ProcessId id) {
  std::lock_guard<std::mutex> lock(children_mutex);
  children.erase(id);
}

std::wstring CommandLine(const std::vector<std::string>& argv) {
  std::wstring line;
  for (const std::string& arg : argv) {
    if (!line.empty()) line += L' ';
    line += test_support::QuotedArgument(platform::FromFsName(arg));
  }
  return line;
}

bool IsWindowsPath(const std::string& arg) {
  return arg.size() > 2 && std::isalpha(static_cast<unsigned char>(arg[0])) && arg[1] == ':' &&
         (arg[2] == '\\' || arg[2] == '/');
}

bool Start(const std::wstring& program, std::wstring command_line, HANDLE output,
           PROCESS_INFORMATION* started) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (output != nullptr) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  }
  return CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, output != nullptr,
                        0, nullptr, nullptr, &startup, started);
}

ProcessId SpawnWindowsProgram(const std::vector<std::string>& argv, const std::string& out_path) {
  HANDLE output = nullptr;
  if (!out_path.empty()) {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    const std::wstring name = out_path == "/dev/null" ? L"NUL" : platform::FromFsName(out_path);
    output = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         &inherited, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) return kNoProcess;
  }
  PROCESS_INFORMATION started{};
  const bool ok = Start(platform::FromFsName(argv[0]), CommandLine(argv), output, &started);
  if (output != nullptr) CloseHandle(output);
  if (!ok) return kNoProcess;
  CloseHandle(started.hThread);
  return Remember({started.hProcess, ""});
}

// The DOS name under which Wine reaches a Linux path.
std::wstring DosPathOf(const std::string& linux_path) {
  using ToDos = WCHAR*(CDECL*)(LPCSTR);
  const auto to_dos = reinterpret_cast<ToDos>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name"));
  WCHAR* dos = to_dos ? to_dos(linux_path.c_str()) : nullptr;
  if (dos == nullptr) return L"";
  const std::wstring path = dos;
  HeapFree(GetProcessHeap(), 0, dos);
  return path;
}

// Runs `script` in /bin/sh with `args` as $1...; not waited for.
bool RunShell(const std::string& script, const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"/bin/sh", "-c", "PATH=/usr/sbin:/usr/bin:/sbin:/bin; " + script,
                                   "sh"};
  argv.insert(argv.end(), args.begin(), args.end());
  PROCESS_INFORMATION started{};
  if (!Start(DosPathOf("/bin/sh"), CommandLine(argv), nullptr, &started)) return false;
  if (started.hThread != nullptr) CloseHandle(started.hThread);
  if (started.hProcess != nullptr) CloseHandle(started.hProcess);
  return true;
}

std::string NewRecordFolder() {
  std::random_device random;
  for (;;) {
    const fs::path folder =
        fs::temp_directory_path() / ("quillory-child-" + std::to_string(random()));
    if (fs::create_directory(folder)) return folder.string();
  }
}

bool WaitForFile(const std::string& path, double limit_seconds) {
  return WaitFor([&] { return fs::exists(path); }, limit_seconds);
}

// The program runs in the background of the shell, so that the shell sees
// it end, however it ends, and writes its status.
constexpr const char* kRecordingScript =
    "out=$1; record=$2; shift 2; "
    "if [ -n \"$out\" ]; then \"$@\" >\"$out\" & else \"$@\" & fi; "
    "echo $! >\"$record/pid.tmp\"; mv \"$record/pid.tmp\" \"$record/pid\"; "
    "wait $!; echo $? >\"$record/status.tmp\"; mv \"$record/status.tmp\" \"$record/status\"";

ProcessId SpawnLinuxProgram(std::vector<std::string> argv, const std::string& out_path) {
  for (std::string& arg : argv) {
    if (IsWindowsPath(arg)) arg = LinuxPath(arg);
  }
  const std::string record = NewRecordFolder();
  const std::string out =
      out_path.empty() || out_path == "/dev/null" ? out_path : LinuxPath(out_path);
  argv.insert(argv.begin(), {out, LinuxPath(record)});
  if (!RunShell(kRecordingScript, argv) || !WaitForFile(record + "/pid", 30)) {
    std::error_code ignored;
    fs::remove_all(record, ignored);
    return kNoProcess;
  }
  return Remember({nullptr, record});
}

void SignalLinuxProgram(const Child& child, const char* signal) {
  RunShell("kill -" + std::string(signal) + " \"$(cat \"$1/pid\")\"", {LinuxPath(child.record)});
}

int RecordedStatus(const std::string& record) {
  WaitForFile(record + "/status", 1e9);
  int status = -1;
  std::ifstream(fs::path(record) / "status") >> status;
  std::error_code ignored;
  fs::remove_all(record, ignored);
  // The shell reports a program ended by a signal as 128 + its number.
  return status >= 0 && status < 128 ? status : -1;
}

}  // namespace

ProcessId SpawnProcess(const std::vector<std::string>& argv, const std::string& stdout_path) {
  if (argv.empty()) return kNoProcess;
  return argv[0].rfind('/', 0) == 0 ? SpawnLinuxProgram(argv, stdout_path)
                                    : SpawnWindowsProgram(argv, stdout_path);
}

int WaitProcess(ProcessId id) {
  const Child child = Find(id);
  int status = -1;
  if (child.process != nullptr) {
    DWORD code = 0;
    if (WaitForSingleObject(child.process, INFINITE) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(child.process, &code)) {
      status = static_cast<int>(code);
    }
    CloseHandle(child.process);
  } else if (!child.record.empty()) {
    status = RecordedStatus(child.record);
  }
  Forget(id);
  return status;
}

bool HasExited(ProcessId id) {
  const Child child = Find(id);
  if (child.process != nullptr) return WaitForSingleObject(child.process, 0) == WAIT_OBJECT_0;
  return child.record.empty() || fs::exists(child.record + "/status");
}

void KillProcess(ProcessId id) {
  const Child child = Find(id);
  if (child.process != nullptr) TerminateProcess(child.process, 1);
  if (!child.record.empty()) SignalLinuxProgram(child, "KILL");
  WaitProcess(id);
}

// A Windows program has no signal to be asked with: it is ended at once.
void StopProcess(ProcessId id) {
  const Child child = Find(id);
  if (child.process != nullptr) TerminateProcess(child.process, 1);
  if (!child.record.empty()) SignalLinuxProgram(child, "TERM");
  WaitProcess(id);
}

void SetEnvironment(const std::string& name, const std::string& value) {
  SetEnvironmentVariableW(platform::FromFsName(name).c_str(), platform::FromFsName(value).c_str());
}

bool UnderWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

bool MakeSymlink(const std::string& target, const std::string& link, bool folder) {
  const std::wstring wide_link = platform::FromFsName(link);
  const DWORD flags =
      (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
  if (!CreateSymbolicLinkW(wide_link.c_str(), platform::FromFsName(target).c_str(), flags)) {
    return false;
  }
  const DWORD attributes = GetFileAttributesW(wide_link.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::string LinuxPath(const std::string& path) {
  using ToUnix = char*(CDECL*)(LPCWSTR);
  const auto to_unix = reinterpret_cast<ToUnix>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
  char* unix_name = to_unix ? to_unix(platform::FromFsName(path).c_str()) : nullptr;
  if (unix_name == nullptr) return path;
  const std::string converted = unix_name;
  HeapFree(GetProcessHeap(), 0, unix_name);
  return converted;
}

}  // namespace update_test
