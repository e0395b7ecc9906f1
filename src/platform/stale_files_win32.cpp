// Walks folders without following links: reparse points (symbolic links,
// junctions) are neither entered nor removed, and each folder entered is held
// open without delete sharing, so that nobody can swap it for a link while
// its files are removed.
#include <windows.h>

#include <vector>

#include "platform/process.h"
#include "platform/stale_files.h"
#include "platform/utf8.h"
#include "platform/win32_files.h"

namespace platform {
namespace {

// Deeper folders are left alone: every level holds a handle open.
constexpr int kMaxDepth = 32;

// Opens the folder itself (not what a link there leads to) and holds it in
// place; invalid when it is no plain folder.
HANDLE HoldPlainFolder(const std::wstring& folder) {
  HANDLE held = CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  BY_HANDLE_FILE_INFORMATION info;
  if (held != INVALID_HANDLE_VALUE &&
      (!GetFileInformationByHandle(held, &info) ||
       (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
       (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)) {
    CloseHandle(held);
    return INVALID_HANDLE_VALUE;
  }
  return held;
}

// Deletes the plain file `path` through a handle to it, read-only or not (a
// writer may have made its file read-only before it was killed; elsewhere
// the file's mode does not stop a removal either). A link put in its place
// meanwhile is never touched.
void DeleteStaleFile(const std::wstring& path) {
  if (DeleteFileW(path.c_str()) || GetLastError() != ERROR_ACCESS_DENIED) return;
  ScopedHandle file(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                nullptr));
  FILE_BASIC_INFO info{};
  if (!file.Valid() ||
      !GetFileInformationByHandleEx(file.Get(), FileBasicInfo, &info, sizeof info) ||
      (info.FileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    return;
  }
  info.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  FILE_DISPOSITION_INFO disposition{TRUE};
  if (SetFileInformationByHandle(file.Get(), FileBasicInfo, &info, sizeof info)) {
    SetFileInformationByHandle(file.Get(), FileDispositionInfo, &disposition, sizeof disposition);
  }
}

void RemoveIn(const std::wstring& folder, const TempNamePattern& pattern, bool recursive,
              int depth) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found,
                                   FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return;
  std::vector<std::wstring> stale;
  std::vector<std::wstring> folders;
  do {
    const std::wstring name = found.cFileName;
    const DWORD attributes = found.dwFileAttributes;
    if (name == L"." || name == L".." || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (recursive && depth < kMaxDepth) folders.push_back(name);
      continue;
    }
    const std::optional<long> owner = TempNameOwner(Utf8Encode(name), pattern);
    if (owner && !IsProcessRunning(*owner)) stale.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  // DeleteFileW removes a link put in the file's place, never what it points to.
  for (const std::wstring& name : stale) DeleteStaleFile(folder + L"\\" + name);
  for (const std::wstring& name : folders) {
    const std::wstring sub = folder + L"\\" + name;
    ScopedHandle held(HoldPlainFolder(sub));
    if (held.Valid()) RemoveIn(sub, pattern, recursive, depth + 1);
  }
}

}  // namespace

void RemoveFilesOfEndedProcesses(const std::string& folder, const TempNamePattern& pattern,
                                 bool recursive) {
  // The folder itself is the one the writers use, link or not.
  std::wstring path = folder.empty() ? L"." : WidePath(folder);
  while (path.size() > 1 && path.back() == L'\\' && path[path.size() - 2] != L':') path.pop_back();
  RemoveIn(path, pattern, recursive, 0);
}

}  // namespace platform
