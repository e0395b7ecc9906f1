// Child processes and the environment over Win32 calls.
#include <windows.h>
#include <winternl.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/utf8.h"
#include "shell/child_process.h"
#include "win32_command_line.h"

namespace test_support {

std::string ThisProgram() {
  wchar_t path[32768];
  const DWORD length = GetModuleFileNameW(nullptr, path, 32768);
  return platform::Utf8Encode(std::wstring(path, length));
}

long CurrentProcessId() { return static_cast<long>(GetCurrentProcessId()); }

// A process started in a group of its own ignores Ctrl+C from its start; the
// system notes that in its start parameters (ConsoleFlags, the field after
// the console handle), and no documented call reads it.
std::string DetachmentMark() {
// GCC takes the header's read of the thread block for an access past an array.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
  const TEB* thread = reinterpret_cast<const TEB*>(NtCurrentTeb());
#pragma GCC diagnostic pop
  const RTL_USER_PROCESS_PARAMETERS* parameters =
      thread->ProcessEnvironmentBlock->ProcessParameters;
  ULONG console_flags = 0;
  std::memcpy(&console_flags, &parameters->Reserved2[1], sizeof console_flags);
  return (console_flags & 1) != 0 ? "own process group" : "starter's process group";
}

std::string PrivateTmpFolderOfThisUser() { return std::string(); }

void SetEnv(const std::string& name, const std::string& value) {
  _putenv_s(name.c_str(), value.c_str());
}
void UnsetEnv(const std::string& name) { _putenv_s(name.c_str(), ""); }

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments) {
  const std::wstring wide_program = platform::Utf8Decode(program);
  std::wstring command_line = QuotedArgument(wide_program);
  for (const std::string& argument : arguments) {
    command_line += L" " + QuotedArgument(platform::Utf8Decode(argument));
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(wide_program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &started)) {
    return;
  }
  CloseHandle(started.hThread);
  m_handle = reinterpret_cast<std::intptr_t>(started.hProcess);
  m_id = static_cast<long>(started.dwProcessId);
}

ChildProcess::~ChildProcess() {
  Kill();
  Wait();
  if (m_handle != 0) CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

int ChildProcess::Wait() {
  if (!Started() || m_reaped) return -1;
  const HANDLE process = reinterpret_cast<HANDLE>(m_handle);
  DWORD code = 0;
  m_reaped = WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0;
  return m_reaped && GetExitCodeProcess(process, &code) ? static_cast<int>(code) : -1;
}

void ChildProcess::Kill() {
  if (Started() && !m_reaped) TerminateProcess(reinterpret_cast<HANDLE>(m_handle), 9);
}

}  // namespace test_support
