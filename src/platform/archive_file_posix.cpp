// POSIX implementation of the buffered archive file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/archive_file.h"

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

// Reads up to `size` bytes at `offset`; -1 on error.
long PreadAll(int fd, char* data, std::size_t size, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = pread(fd, data + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<long>(done);
}

}  // namespace

ArchiveFile::~ArchiveFile() { Close(); }

bool ArchiveFile::Open(const std::string& fs_name) {
  Close();
  int fd = open(fs_name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return false;
  }
  m_fd = fd;
  m_size = static_cast<std::uint64_t>(info.st_size);
  m_position = 0;
  m_buffer.reset(new char[kBufferSize]);
  m_buffer_start = 0;
  m_buffer_length = 0;
  m_fill_size = kFirstFillSize;
  m_error = false;
  return true;
}

bool ArchiveFile::Fill() {
  bool carries_on = m_buffer_length > 0 && m_position == m_buffer_start + m_buffer_length;
  m_fill_size = carries_on ? std::min(m_fill_size * 2, kBufferSize) : kFirstFillSize;
  long n = PreadAll(m_fd, m_buffer.get(), m_fill_size, m_position);
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
  if (m_fd < 0) return 0;
  char* out = static_cast<char*>(data);
  std::size_t done = 0;
  while (done < size) {
    bool in_buffer = m_position >= m_buffer_start && m_position < m_buffer_start + m_buffer_length;
    if (!in_buffer && size - done >= kBufferSize) {
      // A large read goes straight to the caller's memory.
      long n = PreadAll(m_fd, out + done, size - done, m_position);
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
  if (m_fd < 0) return 0;
  long n = PreadAll(m_fd, static_cast<char*>(data), size, offset);
  return n < 0 ? 0 : static_cast<std::size_t>(n);
}

bool ArchiveFile::Seek(std::int64_t offset, Origin origin) {
  std::int64_t base = origin == Origin::kStart     ? 0
                      : origin == Origin::kCurrent ? static_cast<std::int64_t>(m_position)
                                                   : static_cast<std::int64_t>(m_size);
  std::int64_t target = base + offset;
  if (m_fd < 0 || target < 0) return false;
  m_position = static_cast<std::uint64_t>(target);
  return true;
}

void ArchiveFile::Close() {
  if (m_fd >= 0) close(m_fd);
  m_fd = -1;
  m_buffer.reset();
  m_buffer_length = 0;
}

}  // namespace platform
