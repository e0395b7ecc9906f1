// Unpacking one entry of an open zip archive.
#include "util/zip_entry.h"

#include <memory>
#include <vector>

#include "platform/file_writer.h"
#include "platform/fs.h"
#include "util/zip_names.h"

namespace {

// Data is copied in pieces of this size: large enough that a piece costs
// few system calls, small enough that memory stays bounded whatever the
// entry's size.
constexpr std::size_t kCopyBufferSize = 64 * 1024;
constexpr unsigned long kEncryptedFlag = 1ul << 0;
constexpr unsigned long kUtf8NameFlag = 1ul << 11;
constexpr unsigned long kStoredMethod = 0;

// Appends every level but the last to `target`, creating each folder on the
// way, and returns the folder that holds the last level. A folder that
// cannot be created shows up when its contents are written.
std::wstring CreateFolders(const std::wstring& target, const std::vector<std::wstring>& levels) {
  std::wstring path = target;
  for (std::size_t i = 0; i + 1 < levels.size(); ++i) {
    path += levels[i];
    path += platform::kPathSeparator;
    platform::CreateFolder(path);
  }
  return path;
}

platform::LocalTime EntryTime(const tm_unz& date) {
  return platform::LocalTime{static_cast<int>(date.tm_year), static_cast<int>(date.tm_mon) + 1,
                             static_cast<int>(date.tm_mday), static_cast<int>(date.tm_hour),
                             static_cast<int>(date.tm_min),  static_cast<int>(date.tm_sec)};
}

bool CopyEntryData(unzFile archive, platform::FileWriter& writer) {
  std::unique_ptr<char[]> buffer(new char[kCopyBufferSize]);
  for (;;) {
    int count = unzReadCurrentFile(archive, buffer.get(), kCopyBufferSize);
    if (count < 0) return false;
    if (count == 0) return true;
    if (!writer.Write(buffer.get(), static_cast<std::size_t>(count))) return false;
  }
}

// Writes the open entry to `path` through a temporary file in `folder`.
// Closing the entry checks its CRC-32; only a verified file is renamed into
// place, so a failure never leaves a cut-short file at `path`.
bool WriteFileEntry(unzFile archive, const EntryInfo& info, const std::wstring& folder,
                    const std::wstring& path) {
  if (!platform::CanReplaceFile(path)) return false;
  platform::FileWriter writer;
  if (!writer.Create(folder)) return false;
  if (!CopyEntryData(archive, writer)) return false;
  if (unzCloseCurrentFile(archive) != UNZ_OK) return false;
  // A time the platform cannot represent leaves the file's own time.
  writer.SetTimes(EntryTime(info.raw.tmu_date));
  return writer.Commit(path);
}

}  // namespace

std::optional<EntryInfo> ReadEntryInfo(unzFile archive) {
  EntryInfo info;
  char name[kMaxEntryNameBytes + 1] = {};
  if (unzGetCurrentFileInfo64(archive, &info.raw, name, sizeof name, nullptr, 0, nullptr, 0) !=
      UNZ_OK) {
    return std::nullopt;
  }
  if (info.raw.size_filename > kMaxEntryNameBytes) return std::nullopt;
  std::optional<std::wstring> decoded =
      DecodeEntryName(name, info.raw.size_filename, (info.raw.flag & kUtf8NameFlag) != 0);
  if (!decoded || !IsSafeEntryName(*decoded)) return std::nullopt;
  info.name = std::move(*decoded);
  return info;
}

bool IsSupportedEntry(const unz_file_info64& raw) {
  if ((raw.flag & kEncryptedFlag) != 0) return false;
  return raw.compression_method == kStoredMethod || raw.compression_method == Z_DEFLATED;
}

bool UnzipCurrentEntry(unzFile archive, const std::wstring& target_folder) {
  std::optional<EntryInfo> info = ReadEntryInfo(archive);
  if (!info || !IsSupportedEntry(info->raw)) return false;
  if (unzOpenCurrentFile(archive) != UNZ_OK) return false;
  std::vector<std::wstring> levels = SplitEntryName(info->name);
  std::wstring folder = CreateFolders(target_folder, levels);
  if (levels.back().empty()) {
    // A folder entry counts as unpacked only when its folder is there.
    return unzCloseCurrentFile(archive) == UNZ_OK && platform::IsDirectory(folder);
  }
  return WriteFileEntry(archive, *info, folder, folder + levels.back());
}
