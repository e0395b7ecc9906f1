// Helpers of the Win32 backend for files and handles.
#include <algorithm>

#include "platform/fs.h"
#include "platform/win32_files.h"

namespace platform {

std::wstring WidePath(const std::string& fs_name) {
  std::wstring path = FromFsName(fs_name);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

HANDLE OpenForAttributes(const std::wstring& path, bool follow_links) {
  // Backup semantics let folders be opened too.
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING, flags,
                     nullptr);
}

bool IsRegularFile(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

HANDLE OpenRegularFileForReading(const std::wstring& path, std::uint64_t* size) {
  ScopedHandle probe(OpenForAttributes(path, true));
  LARGE_INTEGER length;
  if (!probe.Valid() || !IsRegularFile(probe.Get()) || !GetFileSizeEx(probe.Get(), &length)) {
    return INVALID_HANDLE_VALUE;
  }
  // The same file object again, with read access: no second look-up by name.
  HANDLE file = ReOpenFile(probe.Get(), GENERIC_READ, kShareAll, 0);
  if (file == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
  *size = static_cast<std::uint64_t>(length.QuadPart);
  return file;
}

long ReadAtOffset(HANDLE handle, char* data, std::size_t size, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < size) {
    OVERLAPPED at{};
    const std::uint64_t position = offset + done;
    at.Offset = static_cast<DWORD>(position);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(handle, data + done, want, &got, &at)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return -1;
    }
    if (got == 0) break;
    done += got;
  }
  return static_cast<long>(done);
}

std::optional<std::wstring> FinalPathOf(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length =
        GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), 0);
    if (length == 0) return std::nullopt;
    if (length < path.size()) {
      path.resize(length);
      if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\" + path.substr(7);
      if (path.compare(0, 4, L"\\\\?\\") == 0) return path.substr(4);
      return path;
    }
    path.assign(length, L'\0');  // the length needed, with the terminator
  }
  return std::nullopt;
}

bool WriteAllTo(HANDLE handle, const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(handle, data, want, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

}  // namespace platform
