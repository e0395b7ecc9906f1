// One manifest item: stage, verify, install.
#include "update/update_item.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "platform/fs.h"
#include "shell/shared_values.h"
#include "update/file_utils.h"
#include "update/sha256_check.h"
#include "update/update_sequence.h"
#include "util/md5.h"
#include "util/relative_name.h"
#include "util/zip.h"

namespace {

constexpr wchar_t kKindPackage[] = L"package";
constexpr wchar_t kKindMain[] = L"main";
constexpr wchar_t kUnpackFolder[] = L"Data";

// Upper-case hexadecimal digest of the staged file; empty when it cannot be read.
std::wstring StagedDigest(const std::wstring& staged) {
  const std::string digest = MD5File(platform::ToFsName(staged)).value_or(std::string());
  std::wstring upper;
  for (const char c : digest)
    upper += static_cast<wchar_t>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// The swap executable must be startable by the restart.
bool MakeExecutable(const std::wstring& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::permissions(platform::ToFsName(path),
                  fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                  fs::perm_options::add, error);
  return !error;
}

std::wstring PlainTarget(const ManifestItem& item) {
  return g_strAppDir + item.folder + item.file_name;
}

// The folder that holds `path`: all of it up to its last separator.
std::wstring ParentFolder(const std::wstring& path) {
  const std::size_t last = path.find_last_of(L"/\\");
  return last == std::wstring::npos ? std::wstring() : path.substr(0, last + 1);
}

// The folder that installing the item writes into.
std::wstring InstallFolder(const ManifestItem& item) {
  if (item.kind == kKindPackage) return g_strAppDir + kUnpackFolder;
  if (item.kind == kKindMain) return ParentFolder(g_strExeSwapPath);
  return ParentFolder(PlainTarget(item));
}

// Plain files and the executable are moved into place: a rename replaces a
// link planted at the target instead of writing through it.
bool InstallStaged(const ManifestItem& item, const std::wstring& staged) {
  if (item.kind == kKindPackage) {
    if (!UnzipArchive(staged, g_strAppDir + kUnpackFolder)) return false;
    platform::DeleteFileAt(staged);
  } else if (item.kind == kKindMain) {
    if (!platform::MoveFileTo(staged, g_strExeSwapPath)) return false;
    if (!MakeExecutable(g_strExeSwapPath)) return false;
    g_bExeUpdated = 1;
  } else {
    // The target folder is not created: a folder value must name an existing one.
    if (!platform::MoveFileTo(staged, PlainTarget(item))) return false;
  }
  return true;
}

// The staged file lies below the staging root at the folder value, a
// separator and the file name, so the two are checked apart; a plain file's
// target joins them without a separator, so the join is checked as one name
// too: parts that are harmless alone can climb out together ("." and "./x").
bool HasContainedNames(const ManifestItem& item) {
  return IsContainedName(item.file_name) && IsContainedName(item.folder) &&
         IsContainedName(item.folder + item.file_name);
}

}  // namespace

bool InstallItem(const ManifestItem& item, const std::wstring& staging_root,
                 const DownloadLimits& limits, bool require_sha256) {
  if (!HasContainedNames(item)) return false;
  const std::wstring folder = staging_root + item.folder + platform::kPathSeparator;
  const std::wstring staged = folder + item.file_name;
  // Every folder written into must really lie in the program folder: a
  // symbolic link on the way would lead the bytes elsewhere.
  if (!MakeFolderInside(folder, g_strAppDir) ||
      !IsFolderInside(ParentFolder(staged), g_strAppDir)) {
    return false;
  }
  DownloadLimits item_limits = limits;
  item_limits.max_bytes = item.size < 0 ? 0 : item.size;
  if (!DownloadFile(item.file_name, item.url, folder, item_limits)) return false;
  if (!platform::PathExists(staged)) return false;
  Sha256Check sha256(staged, item.sha256, require_sha256);  // beside the MD5 check
  if (StagedDigest(staged) != item.md5) return false;
  if (GetFileLength(staged) != item.size) return false;
  if (!sha256.Passed()) return false;
  if (!IsFolderInside(InstallFolder(item), g_strAppDir)) return false;
  return InstallStaged(item, staged);
}
