// The update manifest, read by position: the document's first element is the
// root, the root's first attribute is the version, every child element of the
// root is an item, and an item's first six attributes are, in order, its file
// name, MD5, folder, size, URL and kind. Names of elements and attributes are
// never examined, except that a further attribute named "sha256" carries the
// file's SHA-256 digest. Values are taken as code-page bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ManifestItem {
  std::wstring file_name;  // name in the staging folder and, for plain files, when installed
  std::wstring md5;        // 32 upper-case hexadecimal digits
  std::wstring folder;     // staging subfolder and, for plain files, the installed subfolder
  std::int64_t size = 0;   // length in bytes, read leniently (no digits give 0)
  std::wstring url;        // absolute URL of the file
  std::wstring kind;       // "package", "main" or anything else (a plain file)
  std::string sha256;      // the "sha256" attribute after the six, as written; empty when absent
};

struct UpdateManifest {
  std::wstring version;
  std::vector<ManifestItem> items;
};

// Loads the manifest file at `path`. No result when it cannot be read or
// parsed, has no root element, its root has no attribute, or an item has
// fewer than six attributes: such a manifest is unusable as a whole.
std::optional<UpdateManifest> LoadManifest(const std::wstring& path);
// The same for the bytes of a manifest file already read (as served).
std::optional<UpdateManifest> ParseManifestFileBytes(const std::string& bytes);
// The same for manifest text already in memory. Line ends stay as given,
// whereas a loaded file has CR LF and CR turned into LF first.
std::optional<UpdateManifest> ParseManifest(const std::string& text);
