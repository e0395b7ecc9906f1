// Zip extraction: the walk over the archive's entries.
#include "util/zip.h"

#include <minizip/unzip.h>

#include <cstring>
#include <fstream>

#include "platform/fs.h"
#include "util/zip_entry.h"
#include "util/zip_fault.h"
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

constexpr const char* kDamagedDirectory = "central directory damaged";

// Why entry `index`, the archive's current one, cannot be unpacked; success
// when it can.
Outcome CheckEntry(unzFile archive, ZPOS64_T index) {
  EntryInfo info;
  EntryFault fault = ReadEntryInfo(archive, info);
  if (fault == EntryFault::kNone) fault = CheckSupported(info.raw);
  if (fault == EntryFault::kNone) return Outcome::Success();
  return Outcome::Failure(EntryFaultReason(fault, NameForReason(info, index)));
}

// Looks at every entry before anything is written: one name that would lead
// out of the target folder, cannot be decoded or is too long, or one entry
// whose method or encryption cannot be unpacked, fails the whole archive with nothing
// written. Leaves the archive at its first entry.
Outcome CheckAllEntries(unzFile archive, ZPOS64_T count) {
  if (unzGoToFirstFile(archive) != UNZ_OK) return Outcome::Failure(kDamagedDirectory);
  for (ZPOS64_T i = 0; i < count; ++i) {
    if (Outcome entry = CheckEntry(archive, i); !entry) return entry;
    if (i + 1 < count && unzGoToNextFile(archive) != UNZ_OK) {
      return Outcome::Failure(kDamagedDirectory);
    }
  }
  if (unzGoToFirstFile(archive) != UNZ_OK) return Outcome::Failure(kDamagedDirectory);
  return Outcome::Success();
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

Outcome UnzipAllEntries(unzFile archive, const std::wstring& target_folder,
                        const platform::ArchiveFile* file) {
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(archive, &global) != UNZ_OK) return Outcome::Failure(kDamagedDirectory);
  ZPOS64_T count = global.number_entry;
  if (count == 0) return Outcome::Success();
  if (file == nullptr) return Outcome::Failure("archive file cannot be read");
  if (Outcome checked = CheckAllEntries(archive, count); !checked) return checked;
  return UnpackEntries(archive, count, WithTrailingSeparator(target_folder), *file);
}

}  // namespace

Outcome UnzipArchive(const std::wstring& archive_path, const std::wstring& target_folder) {
  try {
    OpenedArchiveFile opened;
    zlib_filefunc64_def functions = ArchiveFileFunctions(&opened);
    unzFile archive = unzOpen2_64(platform::ToFsName(archive_path).c_str(), &functions);
    if (archive == nullptr) {
      if (!opened.ever_opened) return Outcome::Failure("archive file cannot be opened");
      if (IsEmptyArchive(archive_path)) return Outcome::Success();
      return Outcome::Failure("not a zip archive");
    }
    ArchiveCloser closer(archive);
    return UnzipAllEntries(archive, target_folder, opened.file);
  } catch (...) {
    // Out of memory while building paths: the archive is not unpacked.
    return Outcome::Failure("out of memory");
  }
}
