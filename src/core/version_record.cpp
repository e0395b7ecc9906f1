// The version record and the scanner that finds it in executable files.
#include "core/version_record.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/fs.h"

namespace {

constexpr std::size_t kMarkerSize = 24;

struct VersionRecord {
  char marker[kMarkerSize];
  char version[kVersionFieldSize];
};

constexpr std::size_t kScanChunk = 64 * 1024;

// Owns a C stream.
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FilePtr OpenFile(const std::wstring& path, const char* mode) {
  return FilePtr(std::fopen(platform::ToFsName(path).c_str(), mode));
}

}  // namespace

// The record itself. Writable data with external linkage, so the compiler
// never folds its bytes into code: the marker's only copy in the executable
// is here, and the scanner takes its search pattern from this record at run
// time. The linker is told to keep it (see the library's link options).
extern "C" {
__attribute__((used)) VersionRecord quillory_version_record = {
    {'\x7f', 'Q', 'u', 'i', 'l', 'l', 'o', 'r', 'y', '-',    'v',    'e',
     'r',    's', 'i', 'o', 'n', '-', 'r', 'e', 'c', '\x01', '\x02', '\x03'},
    QUILLORY_VERSION};
}

namespace {

// File offset of the first marker in `file`, or -1. Keeps only one chunk and
// the pattern's length of overlap in memory.
long FindMarker(std::FILE* file) {
  const std::string pattern = VersionRecordMarker();
  std::vector<char> window;
  window.reserve(kScanChunk + pattern.size());
  std::vector<char> chunk(kScanChunk);
  long window_start = 0;
  std::size_t got = 0;
  while ((got = std::fread(chunk.data(), 1, chunk.size(), file)) > 0) {
    window.insert(window.end(), chunk.begin(), chunk.begin() + got);
    const auto hit = std::search(window.begin(), window.end(), pattern.begin(), pattern.end());
    if (hit != window.end()) return window_start + static_cast<long>(hit - window.begin());
    const std::size_t keep = std::min(window.size(), pattern.size() - 1);
    window_start += static_cast<long>(window.size() - keep);
    window.erase(window.begin(), window.end() - keep);
  }
  return -1;
}

// "a.b.c.d" with four numbers of 0-65535, formatted without leading zeros; "" otherwise.
std::string NormalisedVersion(const std::string& text) {
  unsigned parts[4];
  char tail = 0;
  if (text.size() > 23 || text.find_first_not_of("0123456789.") != std::string::npos ||
      std::sscanf(text.c_str(), "%5u.%5u.%5u.%5u%c", &parts[0], &parts[1], &parts[2], &parts[3],
                  &tail) != 4) {
    return std::string();
  }
  for (unsigned part : parts) {
    if (part > 0xFFFF) return std::string();
  }
  char out[32];
  std::snprintf(out, sizeof(out), "%u.%u.%u.%u", parts[0], parts[1], parts[2], parts[3]);
  return out;
}

}  // namespace

std::wstring ReadFileVersionRecord(const std::wstring& exe_path) {
  FilePtr file = OpenFile(exe_path, "rb");
  if (!file) return std::wstring();
  const long at = FindMarker(file.get());
  if (at < 0 || std::fseek(file.get(), at + static_cast<long>(kMarkerSize), SEEK_SET) != 0) {
    return std::wstring();
  }
  char field[kVersionFieldSize + 1] = {};
  if (std::fread(field, 1, kVersionFieldSize, file.get()) != kVersionFieldSize) {
    return std::wstring();
  }
  const std::string version = NormalisedVersion(field);
  return std::wstring(version.begin(), version.end());
}

bool RewriteFileVersionRecord(const std::wstring& exe_path, const std::wstring& version) {
  if (version.size() >= kVersionFieldSize) return false;
  char field[kVersionFieldSize] = {};
  for (std::size_t i = 0; i < version.size(); ++i) {
    if (version[i] <= 0 || version[i] > 0x7F) return false;
    field[i] = static_cast<char>(version[i]);
  }
  FilePtr file = OpenFile(exe_path, "r+b");
  if (!file) return false;
  const long at = FindMarker(file.get());
  if (at < 0 || std::fseek(file.get(), at + static_cast<long>(kMarkerSize), SEEK_SET) != 0) {
    return false;
  }
  const bool written = std::fwrite(field, 1, kVersionFieldSize, file.get()) == kVersionFieldSize;
  return std::fclose(file.release()) == 0 && written;
}

std::string OwnVersionRecordText() {
  const char* begin = quillory_version_record.version;
  return std::string(begin, std::find(begin, begin + kVersionFieldSize, '\0'));
}

std::string VersionRecordMarker() {
  return std::string(quillory_version_record.marker, kMarkerSize);
}

std::wstring GetFileVersionString(const std::wstring& path) {
  return ReadFileVersionRecord(path.empty() ? platform::ExecutablePath() : path);
}
