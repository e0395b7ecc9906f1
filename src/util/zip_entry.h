// One entry of an open zip archive: its record, its name's checks and the
// folders along its name. Internal to the zip extraction; the public entry
// point is UnzipArchive (util/zip.h).
#pragma once

#include <minizip/unzip.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/file_writer.h"
#include "util/zip_fault.h"

// What the extraction needs to know about the archive's current entry.
struct EntryInfo {
  std::wstring name;      // decoded name, separators as stored
  unz_file_info64 raw{};  // the entry's central-directory record
};

// Reads the current entry's record and name into `info`. kNone, or why the
// entry cannot be unpacked: its record cannot be read, or its name is too
// long, undecodable or would lead out of the target folder (`info.name`
// then holds the name).
EntryFault ReadEntryInfo(unzFile archive, EntryInfo& info);

// The entry's name for a failure's reason: as one line of text, or "#" and
// its number (from 1) when `info` holds no name.
std::string NameForReason(const EntryInfo& info, std::uint64_t index);
// The same for entry `index` of `archive`, found from the first entry on;
// moves the archive's current entry.
std::string NameForReason(unzFile archive, std::uint64_t index);

// kNone when the entry can be unpacked as it is: stored or deflated, and
// not encrypted.
EntryFault CheckSupported(const unz_file_info64& raw);

// True for a deflated entry, false for a stored one.
bool IsDeflated(const unz_file_info64& raw);

// The entry's recorded modification time.
platform::LocalTime EntryTime(const tm_unz& date);

// Folders already created (or found) during one archive's walk, so that the
// entries of a folder do not ask the file system for it again and again.
// Each folder this walk made is remembered with the first entry (in archive
// order) that needs it, so that a failed walk can take back the folders of
// the entries after the failure. Safe on any thread.
class FolderCache {
 public:
  // Creates the folder at `path` for entry `entry` unless this cache has
  // seen it there. True when a folder of its own is at `path`; false when
  // it could not be made, or when something else, a planted link to a
  // folder elsewhere included, is in its place.
  bool Create(const std::wstring& path, std::uint64_t entry);
  // Removes, deepest first, the folders made only for entries after
  // `entry` that are empty. Not while Create may run.
  void RemoveMadeAfter(std::uint64_t entry);

 private:
  bool IsKnown(const std::wstring& path, std::uint64_t entry);
  void Remember(const std::wstring& path, std::uint64_t entry, bool made);

  std::mutex m_mutex;
  std::unordered_map<std::wstring, std::uint64_t> m_first_entry;  // by folder
  std::vector<std::wstring> m_made;                               // the folders this walk made
};

// Appends every level but the last to `target` (ending in a separator),
// creating each folder on the way for entry `entry`, and returns the folder
// that holds the last level, ending in a separator; none when a level is
// not a folder of its own.
std::optional<std::wstring> CreateFolders(const std::wstring& target,
                                          const std::vector<std::wstring>& levels,
                                          std::uint64_t entry, FolderCache& folders);
