// File-system helpers of the update sequence.
#include "update/file_utils.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "platform/fs.h"

namespace fs = std::filesystem;

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }
bool IsWideSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

}  // namespace

std::int64_t GetFileLength(const std::wstring& path) {
  std::error_code error;
  const fs::path fs_path(platform::ToFsName(path));
  if (!fs::is_regular_file(fs_path, error)) return 0;
  const std::uintmax_t size = fs::file_size(fs_path, error);
  return error ? 0 : static_cast<std::int64_t>(size);
}

bool MakeFolderPath(std::string fs_path) {
  if (fs_path.empty() || !IsSeparator(fs_path.back())) fs_path += '/';
  std::size_t separator = 0;
  while (separator < fs_path.size() && !IsSeparator(fs_path[separator])) ++separator;
  for (std::size_t i = separator + 1; i < fs_path.size(); ++i) {
    if (!IsSeparator(fs_path[i])) continue;
    const std::wstring prefix = platform::FromFsName(fs_path.substr(0, i));
    if (platform::PathExists(prefix)) continue;
    if (!platform::CreateFolder(prefix)) return false;
  }
  return true;
}

void DeleteFolderTree(std::wstring folder) {
  if (folder.empty() || (folder.back() != L'/' && folder.back() != L'\\')) folder += L'/';
  std::error_code error;
  fs::directory_iterator listing(platform::ToFsName(folder), error);
  if (error) return;
  for (const fs::directory_entry& entry : listing) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    if (entry.is_directory(error) && !entry.is_symlink(error)) {
      DeleteFolderTree(folder + platform::FromFsName(name));
    } else {
      fs::remove(entry.path(), error);
    }
  }
  fs::remove(platform::ToFsName(folder), error);
}

bool IsFolderInside(const std::wstring& folder, const std::wstring& root) {
  if (!platform::IsDirectory(folder)) return false;
  const std::optional<std::wstring> real_folder = platform::RealPath(folder);
  std::optional<std::wstring> real_root = platform::RealPath(root);
  if (!real_folder || !real_root) return false;
  if (*real_folder == *real_root) return true;
  if (real_root->back() != platform::kPathSeparator) *real_root += platform::kPathSeparator;
  return real_folder->compare(0, real_root->size(), *real_root) == 0;
}

bool MakeFolderInside(const std::wstring& folder, const std::wstring& root) {
  if (folder.compare(0, root.size(), root) != 0 || !IsFolderInside(root, root)) return false;
  std::wstring path = root;
  if (!path.empty() && !IsWideSeparator(path.back())) path += platform::kPathSeparator;
  for (std::size_t start = root.size(); start < folder.size();) {
    std::size_t end = start;
    while (end < folder.size() && !IsWideSeparator(folder[end])) ++end;
    if (end > start) {
      path.append(folder, start, end - start).push_back(platform::kPathSeparator);
      if (!platform::PathExists(path)) platform::CreateFolder(path);
      if (!IsFolderInside(path, root)) return false;
    }
    start = end + 1;
  }
  return true;
}
