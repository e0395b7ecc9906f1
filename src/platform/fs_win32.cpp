// File-system stand-ins over the wide-character Win32 API.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/fs.h"
#include "platform/utf8.h"
#include "platform/win32_files.h"

namespace platform {
namespace {

std::wstring Native(const std::wstring& path) {
  std::wstring native = path;
  std::replace(native.begin(), native.end(), L'/', L'\\');
  return native;
}

// The attributes of what the path names, a link followed to its target;
// INVALID_FILE_ATTRIBUTES when it does not exist (or a link leads nowhere).
DWORD AttributesFollowingLinks(const std::wstring& path, std::uint64_t* size = nullptr) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Native(path).c_str(), GetFileExInfoStandard, &data)) {
    return INVALID_FILE_ATTRIBUTES;
  }
  if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    ScopedHandle target(OpenForAttributes(Native(path), true));
    BY_HANDLE_FILE_INFORMATION info;
    if (!target.Valid() || !GetFileInformationByHandle(target.Get(), &info)) {
      return INVALID_FILE_ATTRIBUTES;
    }
    data.dwFileAttributes = info.dwFileAttributes;
    data.nFileSizeHigh = info.nFileSizeHigh;
    data.nFileSizeLow = info.nFileSizeLow;
  }
  if (size != nullptr) *size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  return data.dwFileAttributes;
}

bool IsFolderAttribute(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// True when opening the object for `access` is refused to this process.
bool AccessDenied(const std::wstring& path, DWORD access) {
  ScopedHandle opened(CreateFileW(Native(path).c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return !opened.Valid() && GetLastError() == ERROR_ACCESS_DENIED;
}

// The name folded for sorting as the POSIX side folds it: lower case.
std::wstring Folded(const std::wstring& name) {
  std::wstring folded = name;
  if (!folded.empty()) {
    LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, name.data(),
                  static_cast<int>(name.size()), folded.data(), static_cast<int>(folded.size()),
                  nullptr, nullptr, 0);
  }
  return folded;
}

}  // namespace

std::string ToFsName(const std::wstring& path) { return Utf8Encode(Native(path)); }

std::wstring FromFsName(const std::string& name) { return Utf8Decode(name); }

bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(Native(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::wstring& path) {
  return IsFolderAttribute(AttributesFollowingLinks(path));
}

bool IsPlainFolder(const std::wstring& path) {
  std::wstring name = Native(path);
  // "C:\" keeps its separator: "C:" alone is the drive's current folder.
  while (name.size() > 1 && name.back() == L'\\' && name[name.size() - 2] != L':') name.pop_back();
  if (IsDeviceOrStreamName(name)) return false;
  const DWORD attributes = GetFileAttributesW(name.c_str());
  return IsFolderAttribute(attributes) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

bool IsReadOnly(const std::wstring& path) {
  const DWORD attributes = AttributesFollowingLinks(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  // A folder's read-only attribute does not keep anyone from adding files.
  if (IsFolderAttribute(attributes)) return AccessDenied(path, FILE_ADD_FILE);
  return (attributes & FILE_ATTRIBUTE_READONLY) != 0 || AccessDenied(path, FILE_WRITE_DATA);
}

std::optional<std::uint64_t> FileSize(const std::wstring& path) {
  std::uint64_t size = 0;
  const DWORD attributes = AttributesFollowingLinks(path, &size);
  if (attributes == INVALID_FILE_ATTRIBUTES || IsFolderAttribute(attributes)) return std::nullopt;
  return size;
}

std::optional<std::wstring> RealPath(const std::wstring& path) {
  ScopedHandle opened(OpenForAttributes(Native(path), true));
  if (!opened.Valid()) return std::nullopt;
  return FinalPathOf(opened.Get());
}

bool CopyFileTo(const std::wstring& from, const std::wstring& to, bool overwrite) {
  return CopyFileW(Native(from).c_str(), Native(to).c_str(), overwrite ? FALSE : TRUE) != FALSE;
}

bool DeleteFileAt(const std::wstring& path) {
  // The system refuses to delete the file of a running executable.
  return DeleteFileW(Native(path).c_str()) != FALSE;
}

bool MoveFileTo(const std::wstring& from, const std::wstring& to) {
  return MoveFileExW(Native(from).c_str(), Native(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != FALSE;
}

bool CreateFolder(const std::wstring& path) {
  if (IsDeviceOrStreamName(path)) return false;
  return CreateDirectoryW(Native(path).c_str(), nullptr) != FALSE;
}

bool RemoveFolder(const std::wstring& path) {
  return RemoveDirectoryW(Native(path).c_str()) != FALSE;
}

std::vector<DirEntry> ListFolder(const std::wstring& path) {
  std::wstring pattern = Native(path);
  if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) return {};
  std::vector<std::pair<std::wstring, DirEntry>> sorted;  // folded name, entry
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    DirEntry entry{name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
    sorted.emplace_back(Folded(name), std::move(entry));
  } while (FindNextFileW(search, &found));
  const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(search);
  if (!complete) return {};
  // Names differing only in case keep a stable, fixed order.
  std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second.name < b.second.name;
  });
  std::vector<DirEntry> entries;
  entries.reserve(sorted.size());
  for (auto& item : sorted) entries.push_back(std::move(item.second));
  return entries;
}

std::wstring ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::wstring();
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 32768) return std::wstring();  // the longest path Windows has
    path.resize(path.size() * 2);
  }
}

}  // namespace platform
