// Settings files on Windows. A new file is UTF-16LE with a byte-order mark
// and CR LF line endings, so that any text survives and every Windows tool
// reads it; an existing file keeps its encoding. A write goes to a temporary
// file beside the settings file, flushed, which then takes its place:
// ReplaceFileW keeps the attributes and security of the file it replaces,
// MoveFileExW puts a first file in place.
#include <windows.h>

#include <atomic>
#include <string>

#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/ini_file.h"
#include "platform/stale_files.h"
#include "platform/utf8.h"
#include "platform/win32_files.h"

namespace platform {
namespace {

constexpr char kUtf16Mark[] = "\xFF\xFE";
constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

// Temporary files are the settings file's name, the writer's process id, a
// counter and ".tmp", so that the leftovers of a killed writer can be found.
TempNamePattern TempPatternFor(const std::string& leaf) { return {leaf + ".", ".", ".tmp"}; }

bool ReadAll(HANDLE file, std::string& bytes) {
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
    if (got == 0) return true;
    bytes.append(chunk, got);
  }
  return false;
}

// UTF-16LE bytes after the mark, as UTF-8 after a UTF-8 mark; an odd last byte is dropped.
std::string Utf16ToMarkedUtf8(const std::string& bytes) {
  std::wstring text((bytes.size() - 2) / 2, L'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                   static_cast<unsigned char>(bytes[3 + 2 * i]) << 8);
  }
  return kUtf8Mark + Utf8Encode(text);
}

std::string MarkedUtf8ToUtf16(const std::string& bytes) {
  const bool marked = bytes.compare(0, 3, kUtf8Mark) == 0;
  const std::wstring text = Utf8Decode(marked ? bytes.substr(3) : bytes);
  std::string out(kUtf16Mark);
  for (wchar_t c : text) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>((c >> 8) & 0xFF);
  }
  return out;
}

ProfileWriteFailure FailureFromLastError() {
  const DWORD error = GetLastError();
  return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL
             ? ProfileWriteFailure::kDiskFull
             : ProfileWriteFailure::kUnwritable;
}

// Writes the temporary file, flushed to the disk.
ProfileWriteFailure WriteTemporary(const std::wstring& temp, const std::string& bytes) {
  ScopedHandle file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return FailureFromLastError();
  bool ok = WriteAllTo(file.Get(), bytes.data(), bytes.size()) && FlushFileBuffers(file.Get());
  ProfileWriteFailure failure = ok ? ProfileWriteFailure::kNone : FailureFromLastError();
  if (!CloseHandle(file.Release()) && ok) failure = FailureFromLastError();
  if (failure != ProfileWriteFailure::kNone) DeleteFileW(temp.c_str());
  return failure;
}

// Puts the temporary file in the settings file's place.
bool PutInPlace(const std::wstring& temp, const std::wstring& name) {
  if (ReplaceFileW(name.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                   nullptr)) {
    return true;
  }
  const DWORD error = GetLastError();
  // No file yet; or the old one is gone already and the new one must follow.
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT ||
      error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
    if (MoveFileExW(temp.c_str(), name.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return true;
    }
    // Whatever stands in the settings file's place now, the temporary file
    // holds the only copy of the new text when the old file is gone.
    if (GetFileAttributesW(name.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  }
  DeleteFileW(temp.c_str());
  return false;
}

}  // namespace

ProfileRead ReadProfileFile(const std::wstring& path, ProfileFile& file) {
  file.new_line = "\r\n";
  ScopedHandle opened(CreateFileW(WidePath(ToFsName(path)).c_str(), GENERIC_READ, kShareAll,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!opened.Valid()) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return ProfileRead::kFailed;
    file.utf16 = true;
    return ProfileRead::kMissing;
  }
  if (!ReadAll(opened.Get(), file.bytes)) return ProfileRead::kFailed;
  // An empty file has no encoding yet: it takes the one of a new file.
  file.utf16 = file.bytes.empty() || file.bytes.compare(0, 2, kUtf16Mark) == 0;
  if (!file.bytes.empty() && file.utf16) file.bytes = Utf16ToMarkedUtf8(file.bytes);
  return ProfileRead::kOk;
}

ProfileWriteFailure ReplaceProfileFile(const std::wstring& path, const ProfileFile& file) {
  static std::atomic<unsigned> counter{0};
  const std::wstring name = WidePath(ToFsName(path));
  const std::wstring temp = name + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
                            std::to_wstring(counter.fetch_add(1)) + L".tmp";
  const std::string bytes = file.utf16 ? MarkedUtf8ToUtf16(file.bytes) : file.bytes;
  const ProfileWriteFailure written = WriteTemporary(temp, bytes);
  if (written != ProfileWriteFailure::kNone) return written;
  return PutInPlace(temp, name) ? ProfileWriteFailure::kNone : ProfileWriteFailure::kUnwritable;
}

void RemoveStaleProfileTemps(const std::wstring& path) {
  const std::string name = ToFsName(path);
  const std::size_t cut = name.find_last_of("\\/");
  const std::string folder = cut == std::string::npos ? "." : name.substr(0, cut + 1);
  const std::string leaf = cut == std::string::npos ? name : name.substr(cut + 1);
  RemoveFilesOfEndedProcesses(folder, TempPatternFor(leaf), false);
}

}  // namespace platform
