// Fetching and judging the signature of the update manifest.
#include "update/signed_manifest.h"

#include <chrono>
#include <fstream>
#include <iterator>

#include "platform/fs.h"
#include "platform/ini.h"
#include "update/minisign.h"
#include "update/trusted_comment.h"
#include "update/update_sequence.h"
#include "util/text.h"

namespace {

constexpr wchar_t kBaseSection[] = L"Base";
constexpr wchar_t kSignatureSuffix[] = L".minisig";

// The whole file when it holds at most `max_bytes`.
std::optional<std::string> ReadSmallFile(const std::wstring& path, std::size_t max_bytes) {
  std::ifstream in(platform::ToFsName(path), std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes;
  bytes.resize(max_bytes + 1);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (in.bad() || static_cast<std::size_t>(in.gcount()) > max_bytes) return std::nullopt;
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

std::optional<std::string> FetchSignature(const std::wstring& manifest_path,
                                          const std::wstring& manifest_url,
                                          const DownloadLimits& limits) {
  const std::wstring path = manifest_path + kSignatureSuffix;
  const std::size_t name_at = path.find_last_of(L"/\\") + 1;
  DownloadLimits signature_limits = limits;
  signature_limits.max_bytes = kMaxMinisignSignatureBytes;
  std::optional<std::string> text;
  if (DownloadFile(path.substr(name_at), manifest_url + kSignatureSuffix, path.substr(0, name_at),
                   signature_limits)) {
    text = ReadSmallFile(path, kMaxMinisignSignatureBytes);
  }
  platform::DeleteFileAt(path);
  return text;
}

std::int64_t NowUtc() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

std::optional<std::string> AcceptSignedManifest(const std::string& manifest,
                                                const std::string& signature_file,
                                                const UpdateTrust& trust,
                                                const std::wstring& recorded_sequence,
                                                std::int64_t now) {
  const std::optional<std::string> comment = VerifyMinisign(manifest, signature_file, trust.keys);
  if (!comment) return std::nullopt;
  const std::optional<TrustedFields> fields = ReadTrustedComment(*comment);
  if (!fields || (fields->expires && *fields->expires <= now)) return std::nullopt;
  if (!recorded_sequence.empty()) {
    // A value as long as the settings reader's buffer may have been cut short.
    if (recorded_sequence.size() >= platform::kProfileReadBuffer - 1) return std::nullopt;
    const std::optional<std::string> recorded = NormalizeSequence(WideToFsName(recorded_sequence));
    if (!recorded || CompareSequences(fields->sequence, *recorded) < 0) return std::nullopt;
  }
  return fields->sequence;
}

std::optional<VerifiedManifest> VerifyFetchedManifest(const std::wstring& manifest_path,
                                                      const std::wstring& manifest_url,
                                                      const UpdateTrust& trust,
                                                      const std::wstring& config_path,
                                                      const DownloadLimits& limits) {
  const std::optional<std::string> signature = FetchSignature(manifest_path, manifest_url, limits);
  if (!signature) return std::nullopt;
  std::optional<std::string> bytes =
      ReadSmallFile(manifest_path, static_cast<std::size_t>(kManifestMaxBytes));
  if (!bytes) return std::nullopt;
  const std::wstring recorded =
      platform::GetPrivateProfileString(kBaseSection, kUpdateSequenceKey, L"", config_path);
  std::optional<std::string> sequence =
      AcceptSignedManifest(*bytes, *signature, trust, recorded, NowUtc());
  if (!sequence) return std::nullopt;
  return VerifiedManifest{std::move(*bytes), std::move(*sequence)};
}

bool RecordUpdateSequence(const std::string& sequence, const std::wstring& config_path) {
  return platform::WritePrivateProfileString(kBaseSection, kUpdateSequenceKey,
                                             FsNameToWide(sequence), config_path);
}
