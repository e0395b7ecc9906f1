// Detached starts with CreateProcessW; the "open" verb over ShellExecuteW.
// clang-format off
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
// clang-format on

#include <string>

#include "platform/process.h"

namespace platform {
namespace {

std::wstring Native(const std::wstring& path) {
  std::wstring native = path;
  for (wchar_t& c : native) {
    if (c == L'/') c = L'\\';
  }
  return native;
}

// An executable file is one the system would run: a program image, not a
// library, a folder or a document.
bool IsExecutableFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  DWORD kind = 0;
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         GetBinaryTypeW(path.c_str(), &kind);
}

// Runs `path` without arguments in a process of its own: no console of ours,
// no inherited handles, its own process group, never waited for.
bool CreateDetached(const std::wstring& path) {
  std::wstring command_line = L"\"" + path + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(path.c_str(), command_line.data(), nullptr, nullptr, FALSE,
                      DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup,
                      &started)) {
    return false;
  }
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return true;
}

// The shell may hand the verb to extensions that need COM on the calling thread.
bool ShellExecuteOpen(const std::wstring& path) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const HINSTANCE result =
      ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  if (SUCCEEDED(com)) CoUninitialize();
  return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace

bool StartDetached(const std::wstring& path) {
  const std::wstring native = Native(path);
  return !native.empty() && IsExecutableFile(native) && CreateDetached(native);
}

bool ShellOpen(const std::wstring& path) {
  const std::wstring native = Native(path);
  if (native.empty()) return false;
  if (IsExecutableFile(native)) return CreateDetached(native);
  if (GetFileAttributesW(native.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  return ShellExecuteOpen(native);
}

bool IsProcessRunning(long pid) {
  if (pid <= 0 || static_cast<unsigned long>(pid) > 0xFFFFFFFFul) return true;
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) {
    // Refused: it exists and belongs to someone else. Any other failure: the
    // id names no process.
    return GetLastError() == ERROR_ACCESS_DENIED;
  }
  // A process that has ended stays while others hold a handle to it (its id
  // is not given to another process meanwhile): it is signalled once it has
  // ended. (Its exit code cannot tell: a process may end with the code 259
  // that also means "still active".)
  const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  CloseHandle(process);
  return !ended;
}

}  // namespace platform
