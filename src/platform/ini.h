// Private-profile (INI) settings files with the semantics of the Windows
// functions: section and key names match without regard to case, values are
// trimmed, a write replaces in place or appends (creating section and file)
// and keeps every other byte of the file. Calls are serialised inside the
// process and each write replaces the file atomically (temporary file, then
// rename), so concurrent writers of different keys never lose one and a
// crash never leaves a half-written file. A file is read as UTF-8 when its
// bytes are, else in the legacy code page, and written back in the same
// encoding. On Windows, a file that starts with the UTF-16LE byte-order mark
// is read and written as UTF-16LE, and a new (or empty) file is made so, with
// CR LF line endings, so that any text survives. Safe on any thread.
#pragma once

#include <string>

namespace platform {

// Size of the reader's buffer: a value is read as at most its first 999 characters.
inline constexpr std::size_t kProfileReadBuffer = 1000;

// Reads `key` of `section` from the file at `path`; `default_value` when the
// file, section or key is missing.
std::wstring GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& default_value, const std::wstring& path);

// True when `key` can be written as a key line: no CR, LF or NUL, no "=", and
// (leading blanks aside) not beginning with "[", which would make a section header.
bool IsStorableProfileKey(const std::wstring& key);

// Why a write failed.
enum class ProfileWriteFailure {
  kNone,
  kRefusedText,  // the text would not stay on its line; the file is untouched
  kUnreadable,   // the existing file could not be read
  kUnwritable,   // the new file could not be written or put in place
  kDiskFull,     // as kUnwritable, because the disk (or the user's quota) is full
};

// Writes `key` = `value` into `section`. False when the file cannot be
// written, and (file untouched) when the text would not stay on its line:
// a section, key or value holding CR, LF or NUL, a section holding "]", or a
// key that IsStorableProfileKey refuses. On failure, `failure` (when not
// null) says why; it is left alone on success.
bool WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                               const std::wstring& value, const std::wstring& path,
                               ProfileWriteFailure* failure = nullptr);

// Removes the temporary files that writes of processes no longer running
// left beside the settings file at `path` (regular files named exactly as a
// write names them; links are left alone).
void RemoveStaleProfileTemps(const std::wstring& path);

}  // namespace platform
