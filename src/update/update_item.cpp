// One manifest item: stage, verify, install.
#include "update/update_item.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "platform/fs.h"
#include "update/file_utils.h"
#include "update/reason_text.h"
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

std::wstring PlainTarget(const ManifestItem& item, const UpdateContext& context) {
  return context.app_dir + item.folder + item.file_name;
}

// The folder that holds `path`: all of it up to its last separator.
std::wstring ParentFolder(const std::wstring& path) {
  const std::size_t last = path.find_last_of(L"/\\");
  return last == std::wstring::npos ? std::wstring() : path.substr(0, last + 1);
}

// The folder that installing the item writes into.
std::wstring InstallFolder(const ManifestItem& item, const UpdateContext& context) {
  if (item.kind == kKindPackage) return context.app_dir + kUnpackFolder;
  if (item.kind == kKindMain) return ParentFolder(context.exe_swap_path);
  return ParentFolder(PlainTarget(item, context));
}

// Plain files and the executable are moved into place: a rename replaces a
// link planted at the target instead of writing through it.
Outcome InstallStaged(const ManifestItem& item, const std::wstring& staged,
                      const UpdateContext& context) {
  if (item.kind == kKindPackage) {
    if (!UnzipArchive(staged, context.app_dir + kUnpackFolder)) {
      return Outcome::Failure("cannot unpack");
    }
    platform::DeleteFileAt(staged);
  } else if (item.kind == kKindMain) {
    if (!platform::MoveFileTo(staged, context.exe_swap_path)) {
      return Outcome::Failure("cannot move to the swap executable");
    }
    if (!MakeExecutable(context.exe_swap_path)) {
      return Outcome::Failure("cannot make the swap executable executable");
    }
    g_bExeUpdated = true;
  } else if (!platform::MoveFileTo(staged, PlainTarget(item, context))) {
    // The target folder is not created: a folder value must name an existing one.
    return Outcome::Failure("cannot move into place");
  }
  return Outcome::Success();
}

// The downloaded file against the manifest's values.
Outcome CheckStaged(const ManifestItem& item, const std::wstring& staged, bool require_sha256) {
  if (!platform::PathExists(staged)) return Outcome::Failure("staged file missing");
  Sha256Check sha256(staged, item.sha256, require_sha256);  // beside the MD5 check
  if (StagedDigest(staged) != item.md5) return Outcome::Failure("md5 differs");
  if (GetFileLength(staged) != item.size) return Outcome::Failure("size differs");
  if (!sha256.Passed()) {
    return Outcome::Failure(item.sha256.empty() ? "no sha256" : "sha256 differs");
  }
  return Outcome::Success();
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

Outcome InstallItem(const ManifestItem& item, const UpdateContext& context,
                    const DownloadLimits& limits, bool require_sha256) {
  const std::string name = ReasonText(item.folder + item.file_name);
  const std::string within = "item " + name;
  if (!HasContainedNames(item)) {
    return Outcome::Failure("name leads out of its folder").Within(within);
  }
  const std::wstring folder = context.StagingRoot() + item.folder + platform::kPathSeparator;
  const std::wstring staged = folder + item.file_name;
  // Every folder written into must really lie in the program folder: a
  // symbolic link on the way would lead the bytes elsewhere.
  if (!MakeFolderInside(folder, context.app_dir) ||
      !IsFolderInside(ParentFolder(staged), context.app_dir)) {
    return Outcome::Failure("staging folder missing or outside the program folder").Within(within);
  }
  DownloadLimits item_limits = limits;
  item_limits.max_bytes = item.size < 0 ? 0 : item.size;
  const Outcome downloaded = DownloadFile(item.file_name, item.url, folder, item_limits);
  if (!downloaded) return downloaded.Within("download " + name);
  const Outcome checked = CheckStaged(item, staged, require_sha256);
  if (!checked) return checked.Within(within);
  if (!IsFolderInside(InstallFolder(item, context), context.app_dir)) {
    return Outcome::Failure("target folder missing or outside the program folder").Within(within);
  }
  return InstallStaged(item, staged, context).Within(within);
}
