// POSIX implementation of the temporary-file writer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <mutex>

#include "platform/file_writer.h"
#include "platform/fs.h"
#include "platform/stale_files.h"

namespace platform {
namespace {

constexpr int kMaxNameAttempts = 100;

// Temporary names carry the writer's process id, so that the leftovers of
// a killed process can be told from the files of a running one.
const TempNamePattern& TempPattern() {
  static const TempNamePattern pattern{".quillory-", "-", ".part"};
  return pattern;
}

// A name no other writer of this process uses at the same time; O_EXCL
// settles clashes with other processes.
std::string NextTempLeaf() {
  static std::atomic<unsigned long> counter{0};
  unsigned long n = counter.fetch_add(1, std::memory_order_relaxed);
  const TempNamePattern& pattern = TempPattern();
  return pattern.prefix + std::to_string(getpid()) + pattern.separator + std::to_string(n) +
         pattern.suffix;
}

// mktime re-reads the time-zone setting on every call, under a lock of the C
// library's own that the thread sanitizer cannot see. Conversions take this
// lock as well, so the ordering is visible; it costs nothing next to a file
// creation.
std::mutex& TimeZoneMutex() {
  static std::mutex mutex;
  return mutex;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Whether the call that just failed with errno set found the disk full.
bool DiskFullNow() { return errno == ENOSPC || errno == EDQUOT; }

}  // namespace

FileWriter::~FileWriter() { Discard(); }

bool FileWriter::Create(const std::wstring& folder) {
  Discard();
  std::string base = ToFsName(folder);
  if (!base.empty() && base.back() != '/') base += '/';
  for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
    std::string name = base + NextTempLeaf();
    // 0666 lets the process's umask decide, as for any newly created file.
    // A link planted under the name is never followed.
    int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) {
      m_fd = fd;
      m_temp_name = name;
      return true;
    }
    if (errno != EEXIST) {
      m_disk_full = DiskFullNow();
      return false;
    }
  }
  return false;
}

bool FileWriter::Write(const char* data, std::size_t size) {
  if (m_fd < 0) return false;
  if (WriteAll(m_fd, data, size)) return true;
  m_disk_full = DiskFullNow();
  return false;
}

bool FileWriter::SetTimes(const LocalTime& time) {
  if (m_fd < 0) return false;
  std::tm parts{};
  parts.tm_year = time.year - 1900;
  parts.tm_mon = time.month - 1;
  parts.tm_mday = time.day;
  parts.tm_hour = time.hour;
  parts.tm_min = time.minute;
  parts.tm_sec = time.second;
  parts.tm_isdst = -1;  // let the zone's rules decide, as a local file time does
  std::time_t seconds;
  {
    std::lock_guard<std::mutex> lock(TimeZoneMutex());
    seconds = std::mktime(&parts);
  }
  if (seconds == static_cast<std::time_t>(-1)) return false;
  struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
  return futimens(m_fd, times) == 0;
}

bool FileWriter::SetPermissions(unsigned mode) {
  return m_fd >= 0 && fchmod(m_fd, static_cast<mode_t>(mode & 07777)) == 0;
}

bool FileWriter::Flush() {
  if (m_fd < 0) return false;
  if (fsync(m_fd) == 0) return true;
  m_disk_full = DiskFullNow();
  return false;
}

bool FileWriter::Commit(const std::wstring& path) {
  if (m_fd < 0) return false;
  int fd = m_fd;
  m_fd = -1;
  bool ok = close(fd) == 0 && rename(m_temp_name.c_str(), ToFsName(path).c_str()) == 0;
  if (!ok) {
    m_disk_full = DiskFullNow();
    unlink(m_temp_name.c_str());
  }
  m_temp_name.clear();
  return ok;
}

void FileWriter::Discard() {
  if (m_fd >= 0) {
    close(m_fd);
    m_fd = -1;
  }
  if (!m_temp_name.empty()) {
    unlink(m_temp_name.c_str());
    m_temp_name.clear();
  }
}

std::FILE* CreateNewFile(const std::wstring& path) {
  const std::string name = ToFsName(path);
  if (unlink(name.c_str()) != 0 && errno != ENOENT) return nullptr;
  // O_EXCL refuses whatever stands at the name by now, a link included.
  const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, "wb");
  if (file == nullptr) close(fd);
  return file;
}

bool CopyFileReplacing(const std::wstring& from, const std::wstring& to) {
  const int in = open(ToFsName(from).c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat info {};
  const std::size_t cut = to.find_last_of(L"/\\");
  FileWriter writer;
  bool ok = fstat(in, &info) == 0 && S_ISREG(info.st_mode) &&
            writer.Create(cut == std::wstring::npos ? L"." : to.substr(0, cut + 1));
  char buffer[64 * 1024];
  while (ok) {
    const ssize_t n = read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    ok = writer.Write(buffer, static_cast<std::size_t>(n));
  }
  close(in);
  return ok && writer.SetPermissions(info.st_mode) && writer.Flush() && writer.Commit(to);
}

void RemoveStaleTempFiles(const std::wstring& folder, bool recursive) {
  RemoveFilesOfEndedProcesses(ToFsName(folder), TempPattern(), recursive);
}

bool CanReplaceFile(const std::wstring& path) {
  std::string name = ToFsName(path);
  struct stat info {};
  if (lstat(name.c_str(), &info) != 0) return errno == ENOENT;
  if (S_ISDIR(info.st_mode)) return false;
  // A link is replaced itself, never written through.
  if (S_ISLNK(info.st_mode)) return true;
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
  return access(name.c_str(), W_OK) == 0;
}

std::optional<LocalTime> FileLocalTime(const std::wstring& path) {
  struct stat info {};
  if (stat(ToFsName(path).c_str(), &info) != 0) return std::nullopt;
  std::tm parts{};
  std::lock_guard<std::mutex> lock(TimeZoneMutex());
  if (localtime_r(&info.st_mtime, &parts) == nullptr) return std::nullopt;
  return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                   parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

}  // namespace platform
