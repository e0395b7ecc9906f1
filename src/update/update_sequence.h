// The update check sequence: connection check, manifest, download, verify and
// install every item, record the version, and ask for a restart when a new
// executable was installed. Runs on the update thread with the context the
// shell handed down.
#pragma once

#include <string>

#include "update/downloader.h"
#include "update/update_context.h"
#include "update/update_trust.h"
#include "util/outcome.h"

// Largest manifest that is accepted; a longer one fails its download.
inline constexpr std::int64_t kManifestMaxBytes = 4 * 1024 * 1024;

// Set when an item of kind "main" was installed in this run; read once,
// after the item loop. Cleared when a run starts (a process makes one run).
// Written and read by the update thread only.
extern bool g_bExeUpdated;

// How a run ended (for tests; the thread itself ignores it).
enum class UpdateOutcome {
  kNoConnection,        // the server could not be reached; nothing changed
  kNoManifest,          // no manifest was fetched and none was left over
  kUnreadableManifest,  // the manifest was unusable; it was deleted
  kRefusedManifest,     // signed updates: the signature was missing or not accepted; deleted
  kNotNewer,            // LastUpdate is equal or newer; the manifest was deleted
  kIncomplete,          // no item, an item failed, or the version could not be recorded
  kCompleted,           // every item installed and LastUpdate written
};

struct UpdateResult {
  UpdateOutcome outcome = UpdateOutcome::kIncomplete;
  // Succeeds for kCompleted; otherwise a failure that says why the run ended
  // so ("connection check: ...", "item Data/a.js: md5 differs").
  Outcome status = Outcome::Success();
  std::wstring version;  // the manifest's version; empty when none was read
};

// One pass of the sequence with the given transfer bounds (their max_bytes
// is ignored: each download gets its own). When the context's server is
// https, every request of the run is held to https. With
// `trust.require_signature` only a manifest fetched in this run whose
// signature is accepted is acted on, its items must match their sha256
// values, and its sequence is recorded as UpdateSequence together with
// LastUpdate. Writes one line about how it ended to the diagnostic log
// ("update run: done (2.0.0.0)", "update run: failed: <reason>"). No
// exception escapes.
UpdateResult RunUpdate(const UpdateContext& context, const DownloadLimits& limits,
                       const UpdateTrust& trust);

// The thread procedure: RunUpdate with the program's bounds and built-in trust.
void UpdateThread(const UpdateContext& context);
