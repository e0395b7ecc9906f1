// POSIX read-only files for the content server.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_read.h"

namespace platform {

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
  if (this != &other) {
    if (m_handle >= 0) close(m_handle);
    m_handle = other.m_handle;
    m_size = other.m_size;
    other.m_handle = -1;
  }
  return *this;
}

ReadOnlyFile::~ReadOnlyFile() {
  if (m_handle >= 0) close(m_handle);
}

std::optional<ReadOnlyFile> OpenReadOnlyFile(const std::string& fs_name) {
  int fd = open(fs_name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return std::nullopt;
  }
  return ReadOnlyFile(fd, static_cast<std::uint64_t>(info.st_size));
}

long ReadFileAt(const ReadOnlyFile& file, void* buffer, std::size_t count, std::uint64_t offset) {
  for (;;) {
    ssize_t got = pread(file.Handle(), buffer, count, static_cast<off_t>(offset));
    if (got >= 0) return static_cast<long>(got);
    if (errno != EINTR) return -1;
  }
}

}  // namespace platform
