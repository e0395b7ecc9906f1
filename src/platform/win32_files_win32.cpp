// Helpers of the Win32 backend for files and handles.
#include <algorithm>

#include "platform/fs.h"
#include "platform/win32_files.h"

namespace platform {
namespace {

// "COM1".."COM9" and "LPT1".."LPT9", also with the digits written as superscripts.
bool IsNumberedPort(const std::wstring& base) {
  if (base.size() != 4 || (base.compare(0, 3, L"COM") != 0 && base.compare(0, 3, L"LPT") != 0)) {
    return false;
  }
  const wchar_t digit = base[3];
  return (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' ||
         digit == L'\u00B3';
}

// The device a name stands for ignores its extension and the blanks before it.
bool IsDeviceName(const std::wstring& leaf) {
  std::wstring base = leaf.substr(0, leaf.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.pop_back();
  for (wchar_t& c : base) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
    if (base == device) return true;
  }
  return IsNumberedPort(base);
}

}  // namespace

bool IsDeviceOrStreamName(const std::wstring& path) {
  const std::size_t end = path.find_last_not_of(L"\\/");
  if (end == std::wstring::npos) return false;
  const std::size_t found = path.find_last_of(L"\\/", end);
  std::size_t start = found == std::wstring::npos ? 0 : found + 1;
  // A drive ("C:", "C:name") is no stream.
  if (start == 0 && end >= 1 && path[1] == L':') start = 2;
  const std::wstring leaf = path.substr(start, end + 1 - start);
  return leaf.find(L':') != std::wstring::npos || IsDeviceName(leaf);
}

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
