// The settings file on disk for the private-profile functions (ini.h): each
// platform reads and replaces it in its own way. Called with the process-wide
// profile lock held.
#pragma once

#include <string>

#include "platform/ini.h"

namespace platform {

// A settings file as the editor works on it: its text as bytes in UTF-8 or
// the legacy code page, and how the platform stores them.
struct ProfileFile {
  std::string bytes;
  // The line ending of lines added to a file that has none yet.
  const char* new_line = "\n";
  // The file is stored as UTF-16LE with a byte-order mark (Windows); `bytes`
  // then hold its text as UTF-8 after a UTF-8 byte-order mark.
  bool utf16 = false;
};

enum class ProfileRead { kOk, kMissing, kFailed };

// Reads the file at `path`. A missing file reads as an empty one, in the form
// a new file takes.
ProfileRead ReadProfileFile(const std::wstring& path, ProfileFile& file);

// Replaces the file at `path` with `file` atomically (a temporary file beside
// it, flushed, then put in its place), keeping the permissions of an existing
// file. kNone on success; kUnwritable or kDiskFull when it cannot, and the
// file is unchanged then.
ProfileWriteFailure ReplaceProfileFile(const std::wstring& path, const ProfileFile& file);

}  // namespace platform
