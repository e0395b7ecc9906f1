// Unpacking one entry of an open zip archive.
#include "util/zip_entry.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/archive_file.h"
#include "platform/file_writer.h"
#include "platform/fs.h"
#include "util/relative_name.h"
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
// way, and returns the folder that holds the last level; none when a level
// is not a folder of its own.
std::optional<std::wstring> CreateFolders(const std::wstring& target,
                                          const std::vector<std::wstring>& levels,
                                          FolderCache& folders) {
  std::wstring path = target;
  for (std::size_t i = 0; i + 1 < levels.size(); ++i) {
    path += levels[i];
    path += platform::kPathSeparator;
    if (!folders.Create(path)) return std::nullopt;
  }
  return path;
}

platform::LocalTime EntryTime(const tm_unz& date) {
  return platform::LocalTime{static_cast<int>(date.tm_year), static_cast<int>(date.tm_mon) + 1,
                             static_cast<int>(date.tm_mday), static_cast<int>(date.tm_hour),
                             static_cast<int>(date.tm_min),  static_cast<int>(date.tm_sec)};
}

// Copies the open entry through minizip, which inflates and checks the
// CRC-32 when the entry is closed.
bool CopyEntryData(unzFile archive, platform::FileWriter& writer) {
  std::unique_ptr<char[]> buffer(new char[kCopyBufferSize]);
  for (;;) {
    int count = unzReadCurrentFile(archive, buffer.get(), kCopyBufferSize);
    if (count < 0) return false;
    if (count == 0) return unzCloseCurrentFile(archive) == UNZ_OK;
    if (!writer.Write(buffer.get(), static_cast<std::size_t>(count))) return false;
  }
}

// Copies the open stored entry straight from the archive's reader and checks
// its CRC-32 against the central directory's record.
bool CopyStoredData(unzFile archive, const unz_file_info64& raw, platform::ArchiveFile& file,
                    platform::FileWriter& writer) {
  if (raw.compressed_size != raw.uncompressed_size) return false;
  ZPOS64_T start = unzGetCurrentFileZStreamPos64(archive);
  if (start == 0 ||
      !file.Seek(static_cast<std::int64_t>(start), platform::ArchiveFile::Origin::kStart)) {
    return false;
  }
  std::unique_ptr<char[]> buffer(new char[kCopyBufferSize]);
  uLong crc = crc32(0, nullptr, 0);
  for (ZPOS64_T left = raw.uncompressed_size; left > 0;) {
    std::size_t count = static_cast<std::size_t>(std::min<ZPOS64_T>(left, kCopyBufferSize));
    if (file.Read(buffer.get(), count) != count) return false;
    crc = crc32_z(crc, reinterpret_cast<const Bytef*>(buffer.get()), count);
    if (!writer.Write(buffer.get(), count)) return false;
    left -= count;
  }
  return crc == raw.crc && unzCloseCurrentFile(archive) == UNZ_OK;
}

// Writes the open entry to `path` through a temporary file in `folder`.
// Only a complete file whose CRC-32 matched is renamed into place, so a
// failure never leaves a cut-short file at `path`.
bool WriteFileEntry(unzFile archive, const EntryInfo& info, const std::wstring& folder,
                    const std::wstring& path, platform::ArchiveFile* file) {
  if (!platform::CanReplaceFile(path)) return false;
  platform::FileWriter writer;
  if (!writer.Create(folder)) return false;
  bool copied = info.raw.compression_method == kStoredMethod && file != nullptr
                    ? CopyStoredData(archive, info.raw, *file, writer)
                    : CopyEntryData(archive, writer);
  if (!copied) return false;
  // A time the platform cannot represent leaves the file's own time.
  writer.SetTimes(EntryTime(info.raw.tmu_date));
  return writer.Commit(path);
}

}  // namespace

bool FolderCache::Create(const std::wstring& path) {
  if (m_seen.count(path) != 0) return true;
  // A folder just made is our own; one that was there already is checked
  // once, without following a link that may stand in its place.
  if (!platform::CreateFolder(path) && !platform::IsPlainFolder(path)) return false;
  m_seen.insert(path);
  return true;
}

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
  if (!decoded || !IsContainedName(*decoded)) return std::nullopt;
  info.name = std::move(*decoded);
  return info;
}

bool IsSupportedEntry(const unz_file_info64& raw) {
  if ((raw.flag & kEncryptedFlag) != 0) return false;
  return raw.compression_method == kStoredMethod || raw.compression_method == Z_DEFLATED;
}

bool UnzipCurrentEntry(unzFile archive, const std::wstring& target_folder) {
  UnzipWalk walk;
  return UnzipCurrentEntry(archive, target_folder, walk);
}

bool UnzipCurrentEntry(unzFile archive, const std::wstring& target_folder, UnzipWalk& walk) {
  std::optional<EntryInfo> info = ReadEntryInfo(archive);
  if (!info || !IsSupportedEntry(info->raw)) return false;
  if (unzOpenCurrentFile(archive) != UNZ_OK) return false;
  std::vector<std::wstring> levels = SplitEntryName(info->name);
  std::optional<std::wstring> folder = CreateFolders(target_folder, levels, walk.folders);
  if (!folder) return false;
  if (levels.back().empty()) {
    // A folder entry counts as unpacked only when its folder is there.
    return unzCloseCurrentFile(archive) == UNZ_OK && platform::IsDirectory(*folder);
  }
  return WriteFileEntry(archive, *info, *folder, *folder + levels.back(), walk.file);
}
