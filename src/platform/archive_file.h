// A read-only file for archive readers that seek often and read in pieces:
// reads are served from one bounded buffer filled by positioned reads, so
// the seeks between small reads cost no system call. One thread at a time,
// except ReadAt, which any number of threads may call at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/native_handle.h"

namespace platform {

class ArchiveFile {
 public:
  ArchiveFile() = default;
  ~ArchiveFile();
  ArchiveFile(const ArchiveFile&) = delete;
  ArchiveFile& operator=(const ArchiveFile&) = delete;

  // Opens the file at the file-system name `fs_name` for reading. False when
  // it cannot be opened or is not a regular file.
  bool Open(const std::string& fs_name);
  // Reads up to `size` bytes at the current position and advances it.
  // Returns the count read: less than `size` only at the end of the file or
  // on a read error (then HasError() tells).
  std::size_t Read(void* data, std::size_t size);
  enum class Origin { kStart, kCurrent, kEnd };
  // Moves the position; false (position unchanged) for a position before
  // the start.
  bool Seek(std::int64_t offset, Origin origin);
  std::uint64_t Tell() const { return m_position; }
  bool HasError() const { return m_error; }
  // Reads up to `size` bytes at `offset`, past the buffer and without moving
  // the position. Returns the count read: less than `size` only at the end
  // of the file or on a read error.
  std::size_t ReadAt(std::uint64_t offset, void* data, std::size_t size) const;
  void Close();

 private:
  // Takes over an open regular file of `size` bytes, at position 0.
  void Adopt(FileHandle handle, std::uint64_t size);
  bool Fill();
  // Reads up to `size` bytes at `offset`, fewer only at the end of the file;
  // -1 on error. The one read of the platform; safe on any thread.
  long ReadFully(char* data, std::size_t size, std::uint64_t offset) const;

  FileHandle m_fd = kNoFile;
  std::uint64_t m_size = 0;
  std::uint64_t m_position = 0;
  std::unique_ptr<char[]> m_buffer;
  std::uint64_t m_buffer_start = 0;  // file offset of m_buffer[0]
  std::size_t m_buffer_length = 0;   // valid bytes in m_buffer
  std::size_t m_fill_size = 0;       // bytes the next fill asks for
  bool m_error = false;
};

}  // namespace platform
