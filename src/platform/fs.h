// File-system stand-ins: existence, attributes, copy, delete, move, folders,
// enumeration and the executable's own path. Paths are wide strings; both "/"
// and "\" are accepted as separators on input. Safe on any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

#ifdef _WIN32
// The platform's path separator.
inline constexpr wchar_t kPathSeparator = L'\\';
// Suffix of executable files.
inline constexpr const wchar_t* kExeSuffix = L".exe";
#else
inline constexpr wchar_t kPathSeparator = L'/';
inline constexpr const wchar_t* kExeSuffix = L"";
#endif

// Narrow file-system name of a wide path (UTF-8 on every platform: the
// Windows executables carry a manifest that makes UTF-8 their ANSI code page,
// so the C library opens these names too), kept apart from the legacy code
// page. Either separator
// becomes the platform separator.
std::string ToFsName(const std::wstring& path);
// Wide text of a file-system name (UTF-8).
std::wstring FromFsName(const std::string& name);

// True when a file-system object of any kind exists at the path.
bool PathExists(const std::wstring& path);
bool IsDirectory(const std::wstring& path);
// True when the object at the path is itself a folder: a symbolic link to
// one does not count.
bool IsPlainFolder(const std::wstring& path);
// True when the object exists and cannot be written by this process, or has
// no write permission bit at all (the read-only attribute, even for root).
bool IsReadOnly(const std::wstring& path);
std::optional<std::uint64_t> FileSize(const std::wstring& path);
// The absolute path of an existing object with every symbolic link, "." and
// ".." resolved; none when it does not exist or cannot be resolved.
std::optional<std::wstring> RealPath(const std::wstring& path);

// Copies a file, replacing the target when `overwrite`. False on any failure.
bool CopyFileTo(const std::wstring& from, const std::wstring& to, bool overwrite);
// Deletes a file. Refuses (returns false) for the running executable, as
// Windows refuses to delete a file that is being executed.
bool DeleteFileAt(const std::wstring& path);
// Renames, replacing an existing target file.
bool MoveFileTo(const std::wstring& from, const std::wstring& to);
// Creates one folder level. False when it could not be created (or exists).
bool CreateFolder(const std::wstring& path);
// Removes an empty folder.
bool RemoveFolder(const std::wstring& path);

struct DirEntry {
  std::wstring name;
  bool is_directory = false;
};
// Entries of a folder without "." and "..", sorted by name without regard to
// letter case (as a Windows user sees them). Empty when it cannot be read.
std::vector<DirEntry> ListFolder(const std::wstring& path);

// Full path of the running executable, or empty when it cannot be read.
std::wstring ExecutablePath();

}  // namespace platform
