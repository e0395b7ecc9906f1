// The buffered archive file: everything but opening, closing and the
// positioned read, which each platform provides.
#include "platform/archive_file.h"

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

// Large enough to make one system call per many archive records, small
// enough to keep the reader's memory bounded.
constexpr std::size_t kBufferSize = 256 * 1024;
// A fill away from the last one asks for this much only: a reader that
// hops between the central directory and one entry's local header at a
// time would otherwise copy a whole buffer for each few bytes it reads.
// Fills that carry on where the last ended double up to kBufferSize.
constexpr std::size_t kFirstFillSize = 4 * 1024;

}  // namespace

ArchiveFile::~ArchiveFile() { Close(); }

void ArchiveFile::Adopt(FileHandle handle, std::uint64_t size) {
  m_fd = handle;
  m_size = size;
  m_position = 0;
  m_buffer.reset(new char[kBufferSize]);
  m_buffer_start = 0;
  m_buffer_length = 0;
  m_fill_size = kFirstFillSize;
  m_error = false;
}

bool ArchiveFile::Fill() {
  bool carries_on = m_buffer_length > 0 && m_position == m_buffer_start + m_buffer_length;
  m_fill_size = carries_on ? std::min(m_fill_size * 2, kBufferSize) : kFirstFillSize;
  long n = ReadFully(m_buffer.get(), m_fill_size, m_position);
  if (n < 0) {
    m_error = true;
    m_buffer_length = 0;
    return false;
  }
  m_buffer_start = m_position;
  m_buffer_length = static_cast<std::size_t>(n);
  return n > 0;
}

std::size_t ArchiveFile::Read(void* data, std::size_t size) {
  if (m_fd == kNoFile) return 0;
  char* out = static_cast<char*>(data);
  std::size_t done = 0;
  while (done < size) {
    bool in_buffer = m_position >= m_buffer_start && m_position < m_buffer_start + m_buffer_length;
    if (!in_buffer && size - done >= kBufferSize) {
      // A large read goes straight to the caller's memory.
      long n = ReadFully(out + done, size - done, m_position);
      if (n < 0) m_error = true;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
      m_position += static_cast<std::uint64_t>(n);
      continue;
    }
    if (!in_buffer && !Fill()) break;
    std::size_t offset = static_cast<std::size_t>(m_position - m_buffer_start);
    std::size_t count = std::min(size - done, m_buffer_length - offset);
    std::memcpy(out + done, m_buffer.get() + offset, count);
    done += count;
    m_position += count;
  }
  return done;
}

std::size_t ArchiveFile::ReadAt(std::uint64_t offset, void* data, std::size_t size) const {
  if (m_fd == kNoFile) return 0;
  long n = ReadFully(static_cast<char*>(data), size, offset);
  return n < 0 ? 0 : static_cast<std::size_t>(n);
}

bool ArchiveFile::Seek(std::int64_t offset, Origin origin) {
  std::int64_t base = origin == Origin::kStart     ? 0
                      : origin == Origin::kCurrent ? static_cast<std::int64_t>(m_position)
                                                   : static_cast<std::int64_t>(m_size);
  std::int64_t target = base + offset;
  if (m_fd == kNoFile || target < 0) return false;
  m_position = static_cast<std::uint64_t>(target);
  return true;
}

}  // namespace platform
