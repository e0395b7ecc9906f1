// One entry of an open zip archive. Internal to the zip extraction; the
// public entry point is UnzipArchive (util/zip.h).
#pragma once

#include <minizip/unzip.h>

#include <optional>
#include <string>

// What the extraction needs to know about the archive's current entry.
struct EntryInfo {
  std::wstring name;         // decoded name, separators as stored
  unz_file_info64 raw{};     // the entry's central-directory record
};

// Reads the current entry's record and name. None when the record cannot be
// read, or when the name is too long, undecodable or would lead out of the
// target folder.
std::optional<EntryInfo> ReadEntryInfo(unzFile archive);

// True when the entry can be unpacked as it is: stored or deflated, and not
// encrypted.
bool IsSupportedEntry(const unz_file_info64& raw);

// Unpacks the archive's current entry into `target_folder` (ending in a
// separator): folders along the name are created; a file is written under a
// temporary name, its CRC-32 checked, its time set, and only then renamed
// into place. True on success; a failed entry leaves an earlier file at its
// path untouched.
bool UnzipCurrentEntry(unzFile archive, const std::wstring& target_folder);
