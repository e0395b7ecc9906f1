// The update check sequence, run once per program start on the update thread.
#include "update/update_sequence.h"

#include <cstdlib>
#include <iterator>
#include <optional>

#include "core/main_window_link.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "shell/shared_values.h"
#include "update/file_utils.h"
#include "update/manifest.h"
#include "update/signed_manifest.h"
#include "update/update_item.h"
#include "update/update_thread.h"
#include "update/versions.h"

int g_bExeUpdated = 0;

namespace {

constexpr wchar_t kManifestName[] = L"update.xml";
constexpr wchar_t kManifestUrlPath[] = L"/Public/ebag/client/update/update.xml";
constexpr wchar_t kRestartText[] = L"程序更新需要重新启动！";
constexpr wchar_t kRestartCaptionSuffix[] = L" - 更新升级";

std::wstring ContentFolder() { return g_strAppDir + g_strDataDir; }
std::wstring StagingRoot() { return ContentFolder() + L"/update/"; }

// Every item in document order; stops at the first that fails. True only
// when there was at least one item and all of them were installed.
bool InstallItems(const UpdateManifest& manifest, const DownloadLimits& limits,
                  bool require_sha256) {
  bool complete = false;
  for (const ManifestItem& item : manifest.items) {
    complete = InstallItem(item, StagingRoot(), limits, require_sha256);
    if (!complete) break;
  }
  return complete;
}

// Tells the user, arranges for the swap executable to start at exit, and
// closes the window (which, with a book open, only returns to the main page).
void RequestRestart() {
  MainWindowLink* window = g_hMainWnd;
  if (window != nullptr) {
    window->ShowMessageBox(kRestartText, g_strProductName + kRestartCaptionSuffix,
                           MainWindowLink::Icon::kInformation);
  }
  if (void (*hook)() = GetSwapExeAtExitHook()) std::atexit(hook);
  if (window != nullptr) window->SendCancel();
}

// `sequence` is that of a signed manifest, none for an unsigned one.
UpdateOutcome ApplyManifest(const std::optional<UpdateManifest>& manifest,
                            const std::optional<std::string>& sequence,
                            const DownloadLimits& limits) {
  if (!manifest) return UpdateOutcome::kUnreadableManifest;
  if (CompareVersions(g_strLastUpdate, manifest->version) != -1) return UpdateOutcome::kNotNewer;
  if (!InstallItems(*manifest, limits, sequence.has_value())) return UpdateOutcome::kIncomplete;
  DeleteFolderTree(StagingRoot());
  // The sequence goes first: should LastUpdate then fail, the next start
  // finds the same sequence, which is accepted, and completes the update.
  if (sequence && !RecordUpdateSequence(*sequence, g_strConfigPath)) {
    return UpdateOutcome::kIncomplete;
  }
  // Without the record every start would install the executable again and
  // restart once more, without end: the restart waits for a run that records.
  if (!platform::WritePrivateProfileString(L"Base", L"LastUpdate", manifest->version,
                                           g_strConfigPath)) {
    return UpdateOutcome::kIncomplete;
  }
  if (g_bExeUpdated == 1) RequestRestart();
  return UpdateOutcome::kCompleted;
}

// True for an https address, whatever the letter case of its scheme.
bool IsHttpsUrl(const std::wstring& url) {
  static constexpr wchar_t kScheme[] = L"https://";
  if (url.size() < std::size(kScheme) - 1) return false;
  for (std::size_t i = 0; i + 1 < std::size(kScheme); ++i) {
    const wchar_t c = url[i];
    if ((c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c) != kScheme[i]) return false;
  }
  return true;
}

// Signed updates act only on the manifest fetched in this run, and only when
// its signature is accepted; the verified bytes are the ones parsed.
UpdateOutcome ApplySignedManifest(bool fetched, const std::wstring& manifest_path,
                                  const DownloadLimits& limits, const UpdateTrust& trust) {
  if (!fetched) return UpdateOutcome::kNoManifest;  // a leftover was never verified
  const std::optional<VerifiedManifest> verified = VerifyFetchedManifest(
      manifest_path, g_strServerUrl + kManifestUrlPath, trust, g_strConfigPath, limits);
  if (!verified) return UpdateOutcome::kRefusedManifest;
  return ApplyManifest(ParseManifestFileBytes(verified->bytes), verified->sequence, limits);
}

UpdateOutcome RunSequence(DownloadLimits limits, const UpdateTrust& trust) {
  // Behind an https server, a plain http item or redirect would let the
  // network replace the manifest's files (and the executable).
  if (IsHttpsUrl(g_strServerUrl)) limits.https_only = true;
  if (!CheckConnection(g_strServerUrl, limits)) return UpdateOutcome::kNoConnection;
  if (!platform::PathExists(ContentFolder())) MakeFolderPath(platform::ToFsName(ContentFolder()));
  // A content folder that leads out of the program folder is not written into.
  if (!IsFolderInside(ContentFolder(), g_strAppDir)) return UpdateOutcome::kNoManifest;
  DownloadLimits manifest_limits = limits;
  manifest_limits.max_bytes = kManifestMaxBytes;
  const std::wstring folder = ContentFolder() + platform::kPathSeparator;
  const bool fetched =
      DownloadFile(kManifestName, g_strServerUrl + kManifestUrlPath, folder, manifest_limits);
  // The content folder is served to the pages: a manifest body that could not
  // be put in place must not stay there.
  platform::DeleteFileAt(folder + kManifestName + L".tmp");
  // Unsigned, a manifest left by an interrupted earlier run is processed as well.
  const std::wstring manifest_path = folder + kManifestName;
  if (!platform::PathExists(manifest_path)) return UpdateOutcome::kNoManifest;
  const UpdateOutcome outcome =
      trust.require_signature ? ApplySignedManifest(fetched, manifest_path, limits, trust)
                              : ApplyManifest(LoadManifest(manifest_path), std::nullopt, limits);
  platform::DeleteFileAt(manifest_path);
  return outcome;
}

}  // namespace

UpdateOutcome RunUpdate(const DownloadLimits& limits, const UpdateTrust& trust) {
  try {
    return RunSequence(limits, trust);
  } catch (...) {
    // Out of memory or a library failure: the next start tries again.
    return UpdateOutcome::kIncomplete;
  }
}

void UpdateThread() { RunUpdate(DownloadLimits(), BuiltInUpdateTrust()); }
