// The update check sequence, run once per program start on the update thread.
#include "update/update_sequence.h"

#include <cstdlib>
#include <iterator>
#include <optional>

#include "core/diag_log.h"
#include "core/main_window_link.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/message_box.h"
#include "update/file_utils.h"
#include "update/manifest.h"
#include "update/reason_text.h"
#include "update/signed_manifest.h"
#include "update/update_item.h"
#include "update/versions.h"

bool g_bExeUpdated = false;

namespace {

constexpr char kLogWhat[] = "update run";
constexpr wchar_t kManifestName[] = L"update.xml";
constexpr wchar_t kManifestUrlPath[] = L"/Public/ebag/client/update/update.xml";
constexpr wchar_t kRestartText[] = L"程序更新需要重新启动！";
constexpr wchar_t kRestartCaptionSuffix[] = L" - 更新升级";

UpdateResult Ended(UpdateOutcome outcome, Outcome status, std::wstring version = {}) {
  return UpdateResult{outcome, std::move(status), std::move(version)};
}

// Every item in document order; stops at the first that fails. Succeeds only
// when there was at least one item and all of them were installed.
Outcome InstallItems(const UpdateManifest& manifest, const UpdateContext& context,
                     const DownloadLimits& limits, bool require_sha256) {
  if (manifest.items.empty()) return Outcome::Failure("manifest: no items");
  for (const ManifestItem& item : manifest.items) {
    Outcome installed = InstallItem(item, context, limits, require_sha256);
    if (!installed) return installed;
  }
  return Outcome::Success();
}

// Tells the user, arranges for the swap executable to start at exit, and
// closes the window (which, with a book open, only returns to the main page).
void RequestRestart(const UpdateContext& context) {
  MainWindowLink* window = context.window;
  if (window != nullptr) {
    window->ShowMessageBox(kRestartText, context.product_name + kRestartCaptionSuffix,
                           platform::MessageIcon::kInformation);
  }
  if (context.swap_exe_at_exit != nullptr) std::atexit(context.swap_exe_at_exit);
  if (window != nullptr) window->SendCancel();
}

// `sequence` is that of a signed manifest, none for an unsigned one.
Outcome RecordVersion(const std::wstring& version, const std::optional<std::string>& sequence,
                      const std::wstring& config_path) {
  // The sequence goes first: should LastUpdate then fail, the next start
  // finds the same sequence, which is accepted, and completes the update.
  if (sequence && !RecordUpdateSequence(*sequence, config_path)) {
    return Outcome::Failure("UpdateSequence: cannot write config.ini");
  }
  if (!platform::WritePrivateProfileString(L"Base", L"LastUpdate", version, config_path)) {
    return Outcome::Failure("LastUpdate: cannot write config.ini");
  }
  return Outcome::Success();
}

UpdateResult ApplyManifest(const std::optional<UpdateManifest>& manifest,
                           const std::optional<std::string>& sequence, const UpdateContext& context,
                           const DownloadLimits& limits) {
  if (!manifest) {
    return Ended(UpdateOutcome::kUnreadableManifest,
                 Outcome::Failure("manifest: not well-formed or incomplete"));
  }
  const std::wstring& version = manifest->version;
  if (CompareVersions(context.last_update, version) != -1) {
    return Ended(UpdateOutcome::kNotNewer,
                 Outcome::Failure("offered " + ReasonText(version) + ", installed " +
                                  ReasonText(context.last_update)),
                 version);
  }
  const Outcome installed = InstallItems(*manifest, context, limits, sequence.has_value());
  if (!installed) return Ended(UpdateOutcome::kIncomplete, installed, version);
  DeleteFolderTree(context.StagingRoot());
  // Without the record every start would install the executable again and
  // restart once more, without end: the restart waits for a run that records.
  const Outcome recorded = RecordVersion(version, sequence, context.config_path);
  if (!recorded) return Ended(UpdateOutcome::kIncomplete, recorded, version);
  if (g_bExeUpdated) RequestRestart(context);
  return Ended(UpdateOutcome::kCompleted, Outcome::Success(), version);
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
UpdateResult ApplySignedManifest(const Outcome& fetched, const std::wstring& manifest_path,
                                 const UpdateContext& context, const DownloadLimits& limits,
                                 const UpdateTrust& trust) {
  if (!fetched) return Ended(UpdateOutcome::kNoManifest, fetched);  // a leftover was never verified
  VerifiedManifest verified;
  const Outcome accepted =
      VerifyFetchedManifest(manifest_path, context.server_url + kManifestUrlPath, trust,
                            context.config_path, limits, &verified);
  if (!accepted) return Ended(UpdateOutcome::kRefusedManifest, accepted);
  return ApplyManifest(ParseManifestFileBytes(verified.bytes), verified.sequence, context, limits);
}

UpdateResult RunSequence(const UpdateContext& context, DownloadLimits limits,
                         const UpdateTrust& trust) {
  // Behind an https server, a plain http item or redirect would let the
  // network replace the manifest's files (and the executable).
  if (IsHttpsUrl(context.server_url)) limits.https_only = true;
  const Outcome connected = CheckConnection(context.server_url, limits);
  if (!connected) return Ended(UpdateOutcome::kNoConnection, connected.Within("connection check"));
  const std::wstring content = context.ContentFolder();
  if (!platform::PathExists(content)) MakeFolderPath(platform::ToFsName(content));
  // A content folder that leads out of the program folder is not written into.
  if (!IsFolderInside(content, context.app_dir)) {
    return Ended(UpdateOutcome::kNoManifest,
                 Outcome::Failure("content folder missing or outside the program folder"));
  }
  DownloadLimits manifest_limits = limits;
  manifest_limits.max_bytes = kManifestMaxBytes;
  const std::wstring folder = content + platform::kPathSeparator;
  const Outcome fetched =
      DownloadFile(kManifestName, context.server_url + kManifestUrlPath, folder, manifest_limits)
          .Within("download update.xml");
  // The content folder is served to the pages: a manifest body that could not
  // be put in place must not stay there.
  platform::DeleteFileAt(folder + kManifestName + L".tmp");
  // Unsigned, a manifest left by an interrupted earlier run is processed as well.
  const std::wstring manifest_path = folder + kManifestName;
  if (!platform::PathExists(manifest_path)) {
    return Ended(UpdateOutcome::kNoManifest,
                 fetched ? Outcome::Failure("manifest: gone after its download") : fetched);
  }
  UpdateResult result =
      trust.require_signature
          ? ApplySignedManifest(fetched, manifest_path, context, limits, trust)
          : ApplyManifest(LoadManifest(manifest_path), std::nullopt, context, limits);
  platform::DeleteFileAt(manifest_path);
  return result;
}

// The run's one line in the diagnostic log. The kinds that are no failure of
// the program or the server say what they are.
void LogRun(const UpdateResult& result) {
  const std::string& reason = result.status.reason();
  switch (result.outcome) {
    case UpdateOutcome::kCompleted:
      return LogLine(kLogWhat, "done (" + ReasonText(result.version) + ")");
    case UpdateOutcome::kNoConnection:
      return LogLine(kLogWhat, "no connection: " + reason);
    case UpdateOutcome::kNoManifest:
      return LogLine(kLogWhat, "no manifest: " + reason);
    case UpdateOutcome::kNotNewer:
      return LogLine(kLogWhat, "not newer: " + reason);
    default:
      return LogOutcome(kLogWhat, result.status);
  }
}

// A run stopped by an exception (out of memory, a library failure): the next
// start tries again. The reason fits a string's own buffer, so that nothing
// here allocates.
UpdateResult EndedUnexpectedly() noexcept {
  UpdateResult result{UpdateOutcome::kIncomplete, Outcome::Failure("unexpected stop"), {}};
  try {
    LogOutcome(kLogWhat, result.status);
  } catch (...) {
    // Not even the log line could be written.
  }
  return result;
}

}  // namespace

UpdateResult RunUpdate(const UpdateContext& context, const DownloadLimits& limits,
                       const UpdateTrust& trust) {
  UpdateResult result;
  try {
    g_bExeUpdated = false;
    result = RunSequence(context, limits, trust);
  } catch (...) {
    return EndedUnexpectedly();
  }
  try {
    LogRun(result);
  } catch (...) {
    // The log only helps: the run's result stands without its line.
  }
  return result;
}

void UpdateThread(const UpdateContext& context) {
  RunUpdate(context, DownloadLimits(), BuiltInUpdateTrust());
}
