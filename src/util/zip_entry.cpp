// One entry of an open zip archive: record, name checks and folders.
#include "util/zip_entry.h"

#include <algorithm>

#include "platform/fs.h"
#include "util/relative_name.h"
#include "util/text.h"
#include "util/zip_names.h"

namespace {

constexpr unsigned long kEncryptedFlag = 1ul << 0;
constexpr unsigned long kUtf8NameFlag = 1ul << 11;
constexpr unsigned long kStoredMethod = 0;

}  // namespace

bool FolderCache::Create(const std::wstring& path, std::uint64_t entry) {
  if (IsKnown(path, entry)) return true;
  // The system calls run outside the lock. Two entries may ask for the same
  // new folder at once: one makes it, the other finds it there.
  // A folder just made is our own; one that was there already is checked
  // once, without following a link that may stand in its place.
  bool made = platform::CreateFolder(path);
  if (!made && !platform::IsPlainFolder(path)) return false;
  Remember(path, entry, made);
  return true;
}

bool FolderCache::IsKnown(const std::wstring& path, std::uint64_t entry) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto it = m_first_entry.find(path);
  if (it == m_first_entry.end()) return false;
  it->second = std::min(it->second, entry);
  return true;
}

void FolderCache::Remember(const std::wstring& path, std::uint64_t entry, bool made) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto [it, inserted] = m_first_entry.try_emplace(path, entry);
  if (!inserted) it->second = std::min(it->second, entry);
  if (made) m_made.push_back(path);
}

void FolderCache::RemoveMadeAfter(std::uint64_t entry) {
  std::lock_guard<std::mutex> lock(m_mutex);
  // A folder's path is longer than its parent's: longest first takes the
  // deepest first, whichever thread made which. One that holds anything
  // else stays.
  std::sort(m_made.begin(), m_made.end(),
            [](const std::wstring& a, const std::wstring& b) { return a.size() > b.size(); });
  for (const std::wstring& path : m_made) {
    if (m_first_entry.find(path)->second > entry) platform::RemoveFolder(path);
  }
}

std::optional<std::wstring> CreateFolders(const std::wstring& target,
                                          const std::vector<std::wstring>& levels,
                                          std::uint64_t entry, FolderCache& folders) {
  std::wstring path = target;
  for (std::size_t i = 0; i + 1 < levels.size(); ++i) {
    path += levels[i];
    path += platform::kPathSeparator;
    if (!folders.Create(path, entry)) return std::nullopt;
  }
  return path;
}

platform::LocalTime EntryTime(const tm_unz& date) {
  return platform::LocalTime{static_cast<int>(date.tm_year), static_cast<int>(date.tm_mon) + 1,
                             static_cast<int>(date.tm_mday), static_cast<int>(date.tm_hour),
                             static_cast<int>(date.tm_min),  static_cast<int>(date.tm_sec)};
}

EntryFault ReadEntryInfo(unzFile archive, EntryInfo& info) {
  char name[kMaxEntryNameBytes + 1] = {};
  if (unzGetCurrentFileInfo64(archive, &info.raw, name, sizeof name, nullptr, 0, nullptr, 0) !=
      UNZ_OK) {
    return EntryFault::kUnreadableRecord;
  }
  if (info.raw.size_filename > kMaxEntryNameBytes) return EntryFault::kNameTooLong;
  std::optional<std::wstring> decoded =
      DecodeEntryName(name, info.raw.size_filename, (info.raw.flag & kUtf8NameFlag) != 0);
  if (!decoded) return EntryFault::kUndecodableName;
  info.name = std::move(*decoded);
  return IsContainedName(info.name) ? EntryFault::kNone : EntryFault::kNameLeavesFolder;
}

std::string NameForReason(const EntryInfo& info, std::uint64_t index) {
  if (info.name.empty()) return "#" + std::to_string(index + 1);
  return OneLineText(info.name);
}

std::string NameForReason(unzFile archive, std::uint64_t index) {
  EntryInfo info;
  bool found = unzGoToFirstFile(archive) == UNZ_OK;
  for (std::uint64_t i = 0; found && i < index; ++i) found = unzGoToNextFile(archive) == UNZ_OK;
  if (found) ReadEntryInfo(archive, info);
  return NameForReason(info, index);
}

EntryFault CheckSupported(const unz_file_info64& raw) {
  if ((raw.flag & kEncryptedFlag) != 0) return EntryFault::kEncrypted;
  if (raw.compression_method == kStoredMethod || raw.compression_method == Z_DEFLATED) {
    return EntryFault::kNone;
  }
  return EntryFault::kUnsupportedMethod;
}

bool IsDeflated(const unz_file_info64& raw) { return raw.compression_method == Z_DEFLATED; }
