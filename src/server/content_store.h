// The content store: where the file that answers a decoded request path
// lies in the content folder, and the scrambling of stored bytes.
//
// Outside developer mode a path of two or more segments lies in its
// top-level folder under the MD5 digest of its store path (the path with a
// leading backslash and backslashes between segments, in the code page)
// followed by ".vkc"; a one-segment path lies directly in the content folder
// under its own name. In developer mode every path lies under its own name.
// Every function is safe on any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/contained_folder.h"
#include "platform/file_read.h"

// The one-byte constant of the store's scrambling, shared by the server and
// by the tools that fill the store.
inline constexpr std::uint8_t kScrambleConstant = 0xA7;

// Key byte of a stored file of `whole_length` bytes: the low eight bits of the
// length XOR the constant.
constexpr std::uint8_t ScrambleKey(std::uint64_t whole_length) {
  return static_cast<std::uint8_t>((whole_length & 0xFFu) ^ kScrambleConstant);
}

// XORs `count` bytes with the key of a file of `whole_length` bytes. The key
// does not depend on the position, so this works on any slice of the file;
// scrambling and unscrambling are the same operation.
void ScrambleBytes(char* bytes, std::size_t count, std::uint64_t whole_length);

// Stored files whose request path ends in exactly ".xml" are kept plain.
bool IsStoredPlain(const std::wstring& decoded_path);
bool IsStoredPlain(const std::string& ansi_path);

// The content folder and its mode, as the caller found them at start.
struct ContentRoot {
  std::string folder;  // file-system name of the content folder, no trailing separator
  bool dev_mode = false;
  // The folder opened once, so that serving needs no look-up of the folder's
  // own name; null when it could not be opened then (it is then opened for
  // every file, and a root built without it works the same way).
  std::shared_ptr<const platform::ContainedFolder> opened = nullptr;
};
// A root over `folder`, opened now.
ContentRoot OpenContentRoot(std::string folder, bool dev_mode);

// Store path of a decoded request path: "/" put in front when missing, then
// every "/" replaced by a backslash.
std::wstring StorePath(const std::wstring& decoded_path);
// True when a segment of the path (split at "/" and at backslashes) is "..".
bool HasParentSegment(const std::wstring& path);

// File-system name of the file that holds `decoded_path`; empty for a path
// that reaches out of the content folder (a ".." segment).
std::string ContentFileName(const ContentRoot& root, const std::wstring& decoded_path);
// The same for a decoded path given as code-page bytes (what the request
// decoders produce); pure-ASCII paths skip the code-page conversions.
std::string ContentFileNameFromAnsi(const ContentRoot& root, const std::string& ansi_path);

// Opens the file that holds a decoded request path for reading, shared with
// other openings of it. No result when it does not exist, is not a regular
// file, cannot be opened or reaches out of the content folder, by a ".."
// segment or by a link that leads outside (links that stay inside are
// followed: content may share files that way).
std::optional<platform::ReadOnlyFile> OpenContentFile(const ContentRoot& root,
                                                      const std::wstring& decoded_path);
std::optional<platform::ReadOnlyFile> OpenContentFile(const ContentRoot& root,
                                                      const std::string& ansi_path);
