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

Outcome FetchSignature(const std::wstring& manifest_path, const std::wstring& manifest_url,
                       const DownloadLimits& limits, std::string* text) {
  const std::wstring path = manifest_path + kSignatureSuffix;
  const std::size_t name_at = path.find_last_of(L"/\\") + 1;
  DownloadLimits signature_limits = limits;
  signature_limits.max_bytes = kMaxMinisignSignatureBytes;
  Outcome fetched = DownloadFile(path.substr(name_at), manifest_url + kSignatureSuffix,
                                 path.substr(0, name_at), signature_limits)
                        .Within("download");
  if (fetched) {
    std::optional<std::string> bytes = ReadSmallFile(path, kMaxMinisignSignatureBytes);
    if (!bytes) fetched = Outcome::Failure("cannot read the downloaded file");
    if (bytes) *text = std::move(*bytes);
  }
  platform::DeleteFileAt(path);
  return fetched;
}

// Whether the trusted comment's sequence may follow the recorded one.
Outcome CheckSequence(const std::string& sequence, const std::wstring& recorded_sequence) {
  if (recorded_sequence.empty()) return Outcome::Success();
  // A value as long as the settings reader's buffer may have been cut short.
  if (recorded_sequence.size() >= platform::kProfileReadBuffer - 1) {
    return Outcome::Failure("recorded UpdateSequence too long");
  }
  const std::optional<std::string> recorded = NormalizeSequence(WideToFsName(recorded_sequence));
  if (!recorded) return Outcome::Failure("recorded UpdateSequence is not a number");
  if (CompareSequences(sequence, *recorded) < 0) {
    return Outcome::Failure("sequence " + sequence + " below the recorded " + *recorded);
  }
  return Outcome::Success();
}

std::int64_t NowUtc() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

Outcome AcceptSignedManifest(const std::string& manifest, const std::string& signature_file,
                             const UpdateTrust& trust, const std::wstring& recorded_sequence,
                             std::int64_t now, std::string* sequence) {
  std::string comment;
  const Outcome verified = VerifyMinisign(manifest, signature_file, trust.keys, &comment);
  if (!verified) return verified;
  const std::optional<TrustedFields> fields = ReadTrustedComment(comment);
  if (!fields) return Outcome::Failure("trusted comment not well-formed");
  if (fields->expires && *fields->expires <= now) return Outcome::Failure("expired");
  const Outcome in_order = CheckSequence(fields->sequence, recorded_sequence);
  if (in_order) *sequence = fields->sequence;
  return in_order;
}

Outcome VerifyFetchedManifest(const std::wstring& manifest_path, const std::wstring& manifest_url,
                              const UpdateTrust& trust, const std::wstring& config_path,
                              const DownloadLimits& limits, VerifiedManifest* verified) {
  std::string signature;
  const Outcome fetched = FetchSignature(manifest_path, manifest_url, limits, &signature);
  if (!fetched) return fetched.Within("manifest signature");
  std::optional<std::string> bytes =
      ReadSmallFile(manifest_path, static_cast<std::size_t>(kManifestMaxBytes));
  if (!bytes) return Outcome::Failure("manifest: cannot read the downloaded file");
  const std::wstring recorded =
      platform::GetPrivateProfileString(kBaseSection, kUpdateSequenceKey, L"", config_path);
  const Outcome accepted =
      AcceptSignedManifest(*bytes, signature, trust, recorded, NowUtc(), &verified->sequence);
  if (accepted) verified->bytes = std::move(*bytes);
  return accepted.Within("manifest signature");
}

bool RecordUpdateSequence(const std::string& sequence, const std::wstring& config_path) {
  return platform::WritePrivateProfileString(kBaseSection, kUpdateSequenceKey,
                                             FsNameToWide(sequence), config_path);
}
