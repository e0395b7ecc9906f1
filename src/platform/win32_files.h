// Helpers of the Win32 backend for files and handles. Internal to the
// platform layer; Windows only. Safe on any thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/native_handle.h"

namespace platform {

inline HANDLE AsHandle(FileHandle handle) { return reinterpret_cast<HANDLE>(handle); }
inline FileHandle AsFileHandle(HANDLE handle) { return reinterpret_cast<FileHandle>(handle); }

// Owns a file handle (INVALID_HANDLE_VALUE for none).
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle = INVALID_HANDLE_VALUE) : m_handle(handle) {}
  ~ScopedHandle() { Reset(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  bool Valid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }
  HANDLE Get() const { return m_handle; }
  HANDLE Release() {
    HANDLE handle = m_handle;
    m_handle = INVALID_HANDLE_VALUE;
    return handle;
  }
  void Reset(HANDLE handle = INVALID_HANDLE_VALUE) {
    if (Valid()) CloseHandle(m_handle);
    m_handle = handle;
  }

 private:
  HANDLE m_handle;
};

// Every sharing mode: files opened here never keep others from reading,
// writing, renaming or deleting them.
inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The wide path of a file-system name (UTF-8), with "\" as its separators.
std::wstring WidePath(const std::string& fs_name);

// True when Windows reads the last segment of `path` as something else than
// a file name: a device ("CON", "nul.txt", "COM1") or an alternate data
// stream ("name:stream"). Such a name from outside (an archive entry) must
// not reach the system: it would open a device, or hide bytes in a stream.
bool IsDeviceOrStreamName(const std::wstring& path);

// Opens an existing object for reading its attributes only, following links
// (`follow_links`) or opening a link itself; folders included.
HANDLE OpenForAttributes(const std::wstring& path, bool follow_links);

// True when the handle is an ordinary file on a disk (not a folder, device or pipe).
bool IsRegularFile(HANDLE handle);

// Opens the regular file at `path` for shared reading; `size` is its length.
// The object is first opened for its attributes only and checked, so that a
// device or folder under the name is never opened for reading. Invalid
// handle on failure.
HANDLE OpenRegularFileForReading(const std::wstring& path, std::uint64_t* size);

// Reads up to `size` bytes at `offset` (fewer only at the end of the file);
// -1 on error. The handle's own position is not used.
long ReadAtOffset(HANDLE handle, char* data, std::size_t size, std::uint64_t offset);

// The final path of an open object, every link resolved, without the "\\?\"
// prefix (a network path starts with "\\"); none when unknown.
std::optional<std::wstring> FinalPathOf(HANDLE handle);

// Writes all `size` bytes at the handle's position; false on any failure.
bool WriteAllTo(HANDLE handle, const char* data, std::size_t size);

}  // namespace platform
