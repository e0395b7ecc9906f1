// Mapping of request paths to content files, and the scrambling rule.
#include "server/content_store.h"

#include <cstring>

#include "platform/fs.h"
#include "util/md5.h"
#include "util/text.h"

namespace {

constexpr char kDigestSuffix[] = ".vkc";
// Both forms of a name (wide and code-page) come out with the platform's own
// separator, so that they are the same name.
constexpr char kSeparator = static_cast<char>(platform::kPathSeparator);

#if defined(__GNUC__)
using Block16 = std::uint8_t __attribute__((vector_size(16)));
#endif

template <typename Text>
Text MakeStorePath(const Text& path) {
  Text store;
  store.reserve(path.size() + 1);
  if (path.empty() || path[0] != '/') store.push_back('\\');
  for (auto ch : path) store.push_back(ch == '/' ? '\\' : ch);
  return store;
}

// Index of the backslash that ends the top-level folder, or npos when the
// store path has a single segment.
template <typename Text>
std::size_t TopFolderEnd(const Text& store) {
  return store.size() > 1 ? store.find('\\', 1) : Text::npos;
}

template <typename Text>
bool HasDotDot(const Text& path) {
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/' || path[i] == '\\') {
      if (i - start == 2 && path[start] == '.' && path[start + 1] == '.') return true;
      start = i + 1;
    }
  }
  return false;
}

bool IsAscii(const std::string& text) {
  for (unsigned char ch : text) {
    if (ch >= 0x80) return false;
  }
  return true;
}

// A pure-ASCII store path as a file-system name: separators become the
// platform's.
std::string AsciiFsName(std::string text) {
  for (char& ch : text) {
    if (ch == '\\') ch = kSeparator;
  }
  return text;
}

template <typename Text>
bool EndsWithXml(const Text& path) {
  static const char kXml[] = ".xml";
  if (path.size() < 4) return false;
  for (std::size_t i = 0; i < 4; ++i) {
    if (path[path.size() - 4 + i] != static_cast<typename Text::value_type>(kXml[i])) return false;
  }
  return true;
}

// Opens `name`, a file name below the root's folder, only where it really
// lies inside the folder.
std::optional<platform::ReadOnlyFile> OpenInsideRoot(const ContentRoot& root,
                                                     const std::string& name) {
  if (name.size() <= root.folder.size()) return std::nullopt;  // refused, or the folder itself
  const char* relative = name.c_str() + root.folder.size();
  if (root.opened) return root.opened->OpenFile(relative);
  auto folder = platform::OpenContainedFolder(root.folder);
  if (!folder) return std::nullopt;
  return folder->OpenFile(relative);
}

}  // namespace

void ScrambleBytes(char* bytes, std::size_t count, std::uint64_t whole_length) {
  const std::uint8_t key = ScrambleKey(whole_length);
  const std::uint64_t word_key = 0x0101010101010101ull * key;
  std::size_t i = 0;
#if defined(__GNUC__)
  // Four 16-byte vectors per step: the XOR then costs next to nothing beside
  // the copies into and out of the buffer.
  Block16 block_key;
  for (std::size_t b = 0; b < sizeof block_key; ++b) block_key[b] = key;
  for (; i + 4 * sizeof(Block16) <= count; i += 4 * sizeof(Block16)) {
    Block16 blocks[4];
    std::memcpy(blocks, bytes + i, sizeof blocks);
    blocks[0] ^= block_key;
    blocks[1] ^= block_key;
    blocks[2] ^= block_key;
    blocks[3] ^= block_key;
    std::memcpy(bytes + i, blocks, sizeof blocks);
  }
#endif
  for (; i + 8 <= count; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    word ^= word_key;
    std::memcpy(bytes + i, &word, 8);
  }
  for (; i < count; ++i) bytes[i] = static_cast<char>(bytes[i] ^ key);
}

bool IsStoredPlain(const std::wstring& decoded_path) { return EndsWithXml(decoded_path); }
bool IsStoredPlain(const std::string& ansi_path) { return EndsWithXml(ansi_path); }

ContentRoot OpenContentRoot(std::string folder, bool dev_mode) {
  auto opened = platform::OpenContainedFolder(folder);
  return ContentRoot{std::move(folder), dev_mode, std::move(opened)};
}

std::wstring StorePath(const std::wstring& decoded_path) { return MakeStorePath(decoded_path); }

bool HasParentSegment(const std::wstring& path) { return HasDotDot(path); }

std::string ContentFileName(const ContentRoot& root, const std::wstring& decoded_path) {
  if (HasDotDot(decoded_path)) return {};
  const std::wstring store = MakeStorePath(decoded_path);
  const std::size_t top_end = TopFolderEnd(store);
  if (root.dev_mode || top_end == std::wstring::npos) {
    return root.folder + platform::ToFsName(store);
  }
  return root.folder + kSeparator + platform::ToFsName(store.substr(1, top_end)) +
         MD5String(WideToAnsi(store)) + kDigestSuffix;
}

std::string ContentFileNameFromAnsi(const ContentRoot& root, const std::string& ansi_path) {
  if (!IsAscii(ansi_path)) return ContentFileName(root, AnsiToWide(ansi_path));
  if (HasDotDot(ansi_path)) return {};
  const std::string store = MakeStorePath(ansi_path);
  const std::size_t top_end = TopFolderEnd(store);
  if (root.dev_mode || top_end == std::string::npos) return root.folder + AsciiFsName(store);
  return root.folder + kSeparator + AsciiFsName(store.substr(1, top_end)) + MD5String(store) +
         kDigestSuffix;
}

std::optional<platform::ReadOnlyFile> OpenContentFile(const ContentRoot& root,
                                                      const std::wstring& decoded_path) {
  return OpenInsideRoot(root, ContentFileName(root, decoded_path));
}

std::optional<platform::ReadOnlyFile> OpenContentFile(const ContentRoot& root,
                                                      const std::string& ansi_path) {
  return OpenInsideRoot(root, ContentFileNameFromAnsi(root, ansi_path));
}
