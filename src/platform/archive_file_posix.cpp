// POSIX opening and positioned reads of the buffered archive file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/archive_file.h"

namespace platform {

bool ArchiveFile::Open(const std::string& fs_name) {
  Close();
  int fd = open(fs_name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return false;
  }
  Adopt(fd, static_cast<std::uint64_t>(info.st_size));
  return true;
}

long ArchiveFile::ReadFully(char* data, std::size_t size, std::uint64_t offset) const {
  const int fd = static_cast<int>(m_fd);
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

void ArchiveFile::Close() {
  if (m_fd != kNoFile) close(static_cast<int>(m_fd));
  m_fd = kNoFile;
  m_buffer.reset();
  m_buffer_length = 0;
}

}  // namespace platform
