// The product version carried inside every executable that links the shell's
// core: a fixed-size record (a marker followed by the version text) that can
// be found by scanning any executable file, not only the running one.
#pragma once

#include <cstddef>
#include <string>

// Size of the version text field of the record, including its zero padding.
inline constexpr std::size_t kVersionFieldSize = 32;

// Version text "a.b.c.d" (four numbers of 0-65535) of the first version record
// in the file at `exe_path`; "" when the file cannot be read, has no record or
// the record does not hold such a version. Reads the file in constant memory.
std::wstring ReadFileVersionRecord(const std::wstring& exe_path);

// Product version "a.b.c.d" from the version record of an executable file;
// the running executable for an empty path; "" when the file has none.
std::wstring GetFileVersionString(const std::wstring& path);

// Replaces, in place, the version text of the first record in the file at
// `exe_path` (for preparing executables of other versions in tests and tools).
// False when the file has no record, cannot be written, or `version` does not
// fit in the field.
bool RewriteFileVersionRecord(const std::wstring& exe_path, const std::wstring& version);

// The version text of this program's own record, as built.
std::string OwnVersionRecordText();
// The marker that starts a record (for tools and tests that lay out records).
std::string VersionRecordMarker();
