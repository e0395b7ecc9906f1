// Read-only files for the content server over Win32 handles.
#include "platform/file_read.h"
#include "platform/win32_files.h"

namespace platform {

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
  if (this != &other) {
    if (m_handle != kNoFile) CloseHandle(AsHandle(m_handle));
    m_handle = other.m_handle;
    m_size = other.m_size;
    other.m_handle = kNoFile;
  }
  return *this;
}

ReadOnlyFile::~ReadOnlyFile() {
  if (m_handle != kNoFile) CloseHandle(AsHandle(m_handle));
}

std::optional<ReadOnlyFile> OpenReadOnlyFile(const std::string& fs_name) {
  std::uint64_t size = 0;
  HANDLE file = OpenRegularFileForReading(WidePath(fs_name), &size);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  return ReadOnlyFile(AsFileHandle(file), size);
}

long ReadFileAt(const ReadOnlyFile& file, void* buffer, std::size_t count, std::uint64_t offset) {
  // One read, as pread does: up to `count` bytes.
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  const DWORD want = count > (1u << 30) ? (1u << 30) : static_cast<DWORD>(count);
  DWORD got = 0;
  if (ReadFile(AsHandle(file.Handle()), buffer, want, &got, &at)) return static_cast<long>(got);
  return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
}

}  // namespace platform
