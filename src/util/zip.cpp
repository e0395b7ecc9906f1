// Zip extraction: the walk over the archive's entries.
#include "util/zip.h"

#include <minizip/unzip.h>

#include <cstring>
#include <fstream>

#include "platform/fs.h"
#include "util/zip_entry.h"
#include "util/zip_io.h"
#include "util/zip_walk.h"

namespace {

// Closes the archive (and an entry left open) on every path out.
class ArchiveCloser {
 public:
  explicit ArchiveCloser(unzFile archive) : m_archive(archive) {}
  ~ArchiveCloser() { unzClose(m_archive); }
  ArchiveCloser(const ArchiveCloser&) = delete;
  ArchiveCloser& operator=(const ArchiveCloser&) = delete;

 private:
  unzFile m_archive;
};

// Looks at every entry before anything is written: one name that would lead
// out of the target folder, cannot be decoded or is too long, or one entry
// whose method or encryption cannot be unpacked, fails the whole archive with nothing
// written. Leaves the archive at its first entry.
bool CheckAllEntries(unzFile archive, ZPOS64_T count) {
  if (unzGoToFirstFile(archive) != UNZ_OK) return false;
  for (ZPOS64_T i = 0; i < count; ++i) {
    std::optional<EntryInfo> info = ReadEntryInfo(archive);
    if (!info || !IsSupportedEntry(info->raw)) return false;
    if (i + 1 < count && unzGoToNextFile(archive) != UNZ_OK) return false;
  }
  return unzGoToFirstFile(archive) == UNZ_OK;
}

// minizip refuses an archive that is nothing but its end record (it reads
// the record found at offset 0 as "no record"), yet that is a valid archive
// without entries.
bool IsEmptyArchive(const std::wstring& path) {
  constexpr std::size_t kEndRecordSize = 22;
  std::ifstream in(platform::ToFsName(path), std::ios::binary | std::ios::ate);
  if (!in) return false;
  std::streamoff size = in.tellg();
  char record[kEndRecordSize];
  if (!in.seekg(0).read(record, kEndRecordSize)) return false;
  if (std::memcmp(record, "PK\x05\x06", 4) != 0) return false;
  // Disk numbers, entry counts, directory size and offset: all zero.
  for (std::size_t i = 4; i < 20; ++i) {
    if (record[i] != 0) return false;
  }
  auto comment_size = static_cast<std::streamoff>(static_cast<unsigned char>(record[20]) |
                                                  static_cast<unsigned char>(record[21]) << 8);
  return size == static_cast<std::streamoff>(kEndRecordSize) + comment_size;
}

std::wstring WithTrailingSeparator(std::wstring folder) {
  if (!folder.empty() && folder.back() != L'/' && folder.back() != L'\\') {
    folder += platform::kPathSeparator;
  }
  return folder;
}

bool UnzipAllEntries(unzFile archive, const std::wstring& target_folder,
                     const platform::ArchiveFile* file) {
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(archive, &global) != UNZ_OK) return false;
  ZPOS64_T count = global.number_entry;
  if (count == 0) return true;
  if (file == nullptr || !CheckAllEntries(archive, count)) return false;
  return UnpackEntries(archive, count, WithTrailingSeparator(target_folder), *file);
}

}  // namespace

bool UnzipArchive(const std::wstring& archive_path, const std::wstring& target_folder) {
  try {
    OpenedArchiveFile opened;
    zlib_filefunc64_def functions = ArchiveFileFunctions(&opened);
    unzFile archive = unzOpen2_64(platform::ToFsName(archive_path).c_str(), &functions);
    if (archive == nullptr) return IsEmptyArchive(archive_path);
    ArchiveCloser closer(archive);
    return UnzipAllEntries(archive, target_folder, opened.file);
  } catch (...) {
    // Out of memory while building paths: the archive is not unpacked.
    return false;
  }
}
