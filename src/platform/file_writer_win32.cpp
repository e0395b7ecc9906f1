// The temporary-file writer over Win32 handles. A temporary file is created
// only where nothing stands (CREATE_NEW never opens through a link), and
// MoveFileExW puts it in its final place.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>

#include "platform/file_writer.h"
#include "platform/fs.h"
#include "platform/stale_files.h"
#include "platform/win32_files.h"

namespace platform {
namespace {

constexpr int kMaxNameAttempts = 100;

// Temporary names carry the writer's process id, so that the leftovers of
// a killed process can be told from the files of a running one.
const TempNamePattern& TempPattern() {
  static const TempNamePattern pattern{".quillory-", "-", ".part"};
  return pattern;
}

std::string NextTempLeaf() {
  static std::atomic<unsigned long> counter{0};
  unsigned long n = counter.fetch_add(1, std::memory_order_relaxed);
  const TempNamePattern& pattern = TempPattern();
  return pattern.prefix + std::to_string(GetCurrentProcessId()) + pattern.separator +
         std::to_string(n) + pattern.suffix;
}

HANDLE CreateOnlyNew(const std::wstring& path) {
  return CreateFileW(path.c_str(), GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Deletes a file, the read-only attribute notwithstanding.
void DeleteEvenReadOnly(const std::wstring& path) {
  if (DeleteFileW(path.c_str()) || GetLastError() != ERROR_ACCESS_DENIED) return;
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(path.c_str());
}

// Whether the call that just failed found the disk (or the user's quota) full.
bool DiskFullNow() {
  const DWORD error = GetLastError();
  return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

std::optional<FILETIME> ToFileTime(const LocalTime& time) {
  SYSTEMTIME local{};
  local.wYear = static_cast<WORD>(time.year);
  local.wMonth = static_cast<WORD>(time.month);
  local.wDay = static_cast<WORD>(time.day);
  local.wHour = static_cast<WORD>(time.hour);
  local.wMinute = static_cast<WORD>(time.minute);
  local.wSecond = static_cast<WORD>(time.second);
  SYSTEMTIME utc;
  FILETIME file_time;
  // The zone's rules for that date decide about summer time, as a local file time does.
  if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) ||
      !SystemTimeToFileTime(&utc, &file_time)) {
    return std::nullopt;
  }
  return file_time;
}

}  // namespace

FileWriter::~FileWriter() { Discard(); }

bool FileWriter::Create(const std::wstring& folder) {
  Discard();
  std::string base = ToFsName(folder);
  if (!base.empty() && base.back() != '\\') base += '\\';
  for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
    const std::string name = base + NextTempLeaf();
    HANDLE file = CreateOnlyNew(WidePath(name));
    if (file != INVALID_HANDLE_VALUE) {
      m_fd = AsFileHandle(file);
      m_temp_name = name;
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
      m_disk_full = DiskFullNow();
      return false;
    }
  }
  return false;
}

bool FileWriter::Write(const char* data, std::size_t size) {
  if (m_fd == kNoFile) return false;
  if (WriteAllTo(AsHandle(m_fd), data, size)) return true;
  m_disk_full = DiskFullNow();
  return false;
}

bool FileWriter::SetTimes(const LocalTime& time) {
  if (m_fd == kNoFile) return false;
  const std::optional<FILETIME> file_time = ToFileTime(time);
  return file_time && SetFileTime(AsHandle(m_fd), &*file_time, &*file_time, &*file_time);
}

bool FileWriter::SetPermissions(unsigned mode) {
  if (m_fd == kNoFile) return false;
  // Windows keeps one permission of its own: no write bit is the read-only attribute.
  FILE_BASIC_INFO info{};
  info.FileAttributes = (mode & 0222) == 0 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(AsHandle(m_fd), FileBasicInfo, &info, sizeof info);
}

bool FileWriter::Flush() {
  if (m_fd == kNoFile) return false;
  if (FlushFileBuffers(AsHandle(m_fd))) return true;
  m_disk_full = DiskFullNow();
  return false;
}

bool FileWriter::Commit(const std::wstring& path) {
  if (m_fd == kNoFile) return false;
  HANDLE file = AsHandle(m_fd);
  m_fd = kNoFile;
  const std::wstring temp = WidePath(m_temp_name);
  bool ok = CloseHandle(file) && !IsDeviceOrStreamName(path) &&
            MoveFileExW(temp.c_str(), WidePath(ToFsName(path)).c_str(), MOVEFILE_REPLACE_EXISTING);
  if (!ok) {
    m_disk_full = DiskFullNow();
    DeleteEvenReadOnly(temp);
  }
  m_temp_name.clear();
  return ok;
}

void FileWriter::Discard() {
  if (m_fd != kNoFile) {
    CloseHandle(AsHandle(m_fd));
    m_fd = kNoFile;
  }
  if (!m_temp_name.empty()) {
    DeleteEvenReadOnly(WidePath(m_temp_name));
    m_temp_name.clear();
  }
}

std::FILE* CreateNewFile(const std::wstring& path) {
  const std::wstring name = WidePath(ToFsName(path));
  if (IsDeviceOrStreamName(name)) return nullptr;
  // DeleteFileW removes a link itself, never what it points to.
  if (!DeleteFileW(name.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) return nullptr;
  HANDLE file = CreateOnlyNew(name);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(file);
    return nullptr;
  }
  std::FILE* stream = _fdopen(fd, "wb");
  if (stream == nullptr) _close(fd);
  return stream;
}

bool CopyFileReplacing(const std::wstring& from, const std::wstring& to) {
  std::uint64_t size = 0;
  ScopedHandle in(OpenRegularFileForReading(WidePath(ToFsName(from)), &size));
  BY_HANDLE_FILE_INFORMATION info;
  const std::size_t cut = to.find_last_of(L"/\\");
  FileWriter writer;
  bool ok = in.Valid() && GetFileInformationByHandle(in.Get(), &info) &&
            writer.Create(cut == std::wstring::npos ? L"." : to.substr(0, cut + 1));
  char buffer[64 * 1024];
  for (std::uint64_t offset = 0; ok;) {
    const long n = ReadAtOffset(in.Get(), buffer, sizeof buffer, offset);
    ok = n >= 0;
    if (n <= 0) break;
    ok = writer.Write(buffer, static_cast<std::size_t>(n));
    offset += static_cast<std::uint64_t>(n);
  }
  const unsigned mode = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? 0555 : 0755;
  return ok && writer.SetPermissions(mode) && writer.Flush() && writer.Commit(to);
}

void RemoveStaleTempFiles(const std::wstring& folder, bool recursive) {
  RemoveFilesOfEndedProcesses(ToFsName(folder), TempPattern(), recursive);
}

bool CanReplaceFile(const std::wstring& path) {
  const std::wstring name = WidePath(ToFsName(path));
  if (IsDeviceOrStreamName(name)) return false;
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  // A link is replaced itself, never written through.
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return true;
  if (attributes & FILE_ATTRIBUTE_READONLY) return false;
  ScopedHandle opened(CreateFileW(name.c_str(), FILE_WRITE_DATA, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  // A file in use is still one this process may write.
  return opened.Valid() || GetLastError() != ERROR_ACCESS_DENIED;
}

std::optional<LocalTime> FileLocalTime(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  SYSTEMTIME utc;
  SYSTEMTIME local;
  if (!GetFileAttributesExW(WidePath(ToFsName(path)).c_str(), GetFileExInfoStandard, &data) ||
      !FileTimeToSystemTime(&data.ftLastWriteTime, &utc) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
    return std::nullopt;
  }
  return LocalTime{local.wYear, local.wMonth,  local.wDay,
                   local.wHour, local.wMinute, local.wSecond};
}

}  // namespace platform
