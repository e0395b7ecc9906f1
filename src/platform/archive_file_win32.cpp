// Win32 opening and positioned reads (ReadFile at an offset) of the buffered
// archive file.
#include "platform/archive_file.h"
#include "platform/win32_files.h"

namespace platform {

bool ArchiveFile::Open(const std::string& fs_name) {
  Close();
  std::uint64_t size = 0;
  HANDLE file = OpenRegularFileForReading(WidePath(fs_name), &size);
  if (file == INVALID_HANDLE_VALUE) return false;
  Adopt(AsFileHandle(file), size);
  return true;
}

long ArchiveFile::ReadFully(char* data, std::size_t size, std::uint64_t offset) const {
  return ReadAtOffset(AsHandle(m_fd), data, size, offset);
}

void ArchiveFile::Close() {
  if (m_fd != kNoFile) CloseHandle(AsHandle(m_fd));
  m_fd = kNoFile;
  m_buffer.reset();
  m_buffer_length = 0;
}

}  // namespace platform
