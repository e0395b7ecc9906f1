// File-system helpers of the update sequence. Both "/" and "\" are accepted as
// separators. Safe on any thread; results are only as current as the file
// system at the moment of the call.
#pragma once

#include <cstdint>
#include <string>

// Length of the file in bytes; 0 when it does not exist or is not a regular
// file (the caller cannot tell those from an empty file). The full 64-bit
// length is kept so that sizes above 2 GiB still compare correctly.
std::int64_t GetFileLength(const std::wstring& path);

// Creates every missing folder along `fs_path` (a file-system name, UTF-8
// here). The part before the first separator (the empty root of an absolute
// path, or the first component of a relative one) is neither tested nor
// created. True when every folder exists afterwards; false at the first
// folder that could not be created, leaving those created before it.
bool MakeFolderPath(std::string fs_path);

// Deletes the folder with everything below it. Entries whose names begin with
// "." are left alone, and so is every folder that still holds something; a
// symbolic link is removed as a link, never followed. Failures are ignored.
void DeleteFolderTree(std::wstring folder);

// True when `folder` exists and its real location (symbolic links resolved)
// is `root`'s real location or lies below it.
bool IsFolderInside(const std::wstring& folder, const std::wstring& root);

// Creates every missing folder of `folder`, which must begin with `root`,
// level by level below `root`, and checks each level with IsFolderInside
// before going deeper, so that a symbolic link on the way can never lead the
// creation, or what is written into the folder later, out of `root`. True
// when the whole folder exists inside `root` afterwards.
bool MakeFolderInside(const std::wstring& folder, const std::wstring& root);
