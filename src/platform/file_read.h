// Read-only files opened for serving: regular files only, opened shared (any
// number of openings of the same file at once), read at explicit offsets so
// one opening needs no position. Safe on any thread; one ReadOnlyFile is used
// by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/native_handle.h"

namespace platform {

class ReadOnlyFile {
 public:
  ReadOnlyFile(FileHandle handle, std::uint64_t size) : m_handle(handle), m_size(size) {}
  ReadOnlyFile(ReadOnlyFile&& other) noexcept : m_handle(other.m_handle), m_size(other.m_size) {
    other.m_handle = kNoFile;
  }
  ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
  ~ReadOnlyFile();

  // Length in bytes when the file was opened.
  std::uint64_t Size() const { return m_size; }
  // The native handle, for SendFileBytes (socket.h).
  FileHandle Handle() const { return m_handle; }

 private:
  FileHandle m_handle;
  std::uint64_t m_size;
};

// Opens a regular file for reading by its file-system name. No result when it
// does not exist, is a folder or another special file, or cannot be opened.
std::optional<ReadOnlyFile> OpenReadOnlyFile(const std::string& fs_name);

// Reads up to `count` bytes at `offset`. Returns the count read (0 at the end
// of the file), or -1 on failure.
long ReadFileAt(const ReadOnlyFile& file, void* buffer, std::size_t count, std::uint64_t offset);

}  // namespace platform
