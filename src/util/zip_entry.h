// One entry of an open zip archive. Internal to the zip extraction; the
// public entry point is UnzipArchive (util/zip.h).
#pragma once

#include <minizip/unzip.h>

#include <optional>
#include <string>
#include <unordered_set>

// What the extraction needs to know about the archive's current entry.
struct EntryInfo {
  std::wstring name;      // decoded name, separators as stored
  unz_file_info64 raw{};  // the entry's central-directory record
};

// Reads the current entry's record and name. None when the record cannot be
// read, or when the name is too long, undecodable or would lead out of the
// target folder.
std::optional<EntryInfo> ReadEntryInfo(unzFile archive);

// True when the entry can be unpacked as it is: stored or deflated, and not
// encrypted.
bool IsSupportedEntry(const unz_file_info64& raw);

// Folders already created (or found) during one archive's walk, so that the
// entries of a folder do not ask the file system for it again and again.
class FolderCache {
 public:
  // Creates the folder at `path` unless this cache has seen it there. True
  // when a folder of its own is at `path`; false when it could not be made,
  // or when something else, a planted link to a folder elsewhere included,
  // is in its place.
  bool Create(const std::wstring& path);

 private:
  std::unordered_set<std::wstring> m_seen;
};

namespace platform {
class ArchiveFile;
}

// State of one walk over an archive's entries.
struct UnzipWalk {
  FolderCache folders;
  // The reader under the archive, when known: stored entries are copied
  // straight from it (minizip copies stored data a byte at a time).
  platform::ArchiveFile* file = nullptr;
};

// Unpacks the archive's current entry into `target_folder` (ending in a
// separator): folders along the name are created (a link in the place of
// one fails the entry, so nothing is written through it); a file is written under a
// temporary name, its CRC-32 checked, its time set, and only then renamed
// into place. True on success; a failed entry leaves an earlier file at its
// path untouched.
bool UnzipCurrentEntry(unzFile archive, const std::wstring& target_folder);
bool UnzipCurrentEntry(unzFile archive, const std::wstring& target_folder, UnzipWalk& walk);
