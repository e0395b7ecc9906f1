// Signed manifests: the signature file beside the manifest on the server,
// checked against the trusted keys; the trusted comment's sequence against
// rollback and its expiry against freeze. Update thread only (it reads and
// writes config.ini's section "Base").
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "update/downloader.h"
#include "update/update_trust.h"
#include "util/outcome.h"

// Name of the signature's key in section "Base" of config.ini.
inline constexpr wchar_t kUpdateSequenceKey[] = L"UpdateSequence";

// A manifest whose signature was accepted, with the sequence to record.
struct VerifiedManifest {
  std::string bytes;     // the manifest file's bytes, exactly as served
  std::string sequence;  // normalised decimal digits
};

// Decides on a manifest's bytes and its signature file. Accepted when the
// signature verifies with one of `trust.keys`, the trusted comment holds a
// sequence not lower than `recorded_sequence` ("" when none is recorded; a
// recorded value that is not decimal digits refuses every manifest) and no
// expiry at or before `now` (seconds since the epoch, UTC). When accepted,
// succeeds and sets `*sequence` to the sequence to record; otherwise the
// failure says why ("unknown key id", "expired", ...).
Outcome AcceptSignedManifest(const std::string& manifest, const std::string& signature_file,
                             const UpdateTrust& trust, const std::wstring& recorded_sequence,
                             std::int64_t now, std::string* sequence);

// For a manifest fetched in this run into `manifest_path` from
// `manifest_url`: fetches `manifest_url` + ".minisig" into the same folder
// (at most kMaxMinisignSignatureBytes; the file is removed again), reads the
// manifest and decides with the UpdateSequence recorded in `config_path` and
// the current time. Succeeds and fills `*verified` when the manifest is
// accepted; a failure's reason begins with what failed ("manifest
// signature: unknown key id").
Outcome VerifyFetchedManifest(const std::wstring& manifest_path, const std::wstring& manifest_url,
                              const UpdateTrust& trust, const std::wstring& config_path,
                              const DownloadLimits& limits, VerifiedManifest* verified);

// Writes the accepted sequence into config.ini. False when it cannot be written.
bool RecordUpdateSequence(const std::string& sequence, const std::wstring& config_path);
