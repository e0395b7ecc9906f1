// The update sequence's network client: the connection check and the
// download of one URL into a file. Blocking; safe on any thread, one transfer
// per call.
#pragma once

#include <cstdint>
#include <string>

#include "util/outcome.h"

// Bounds and rules of a transfer. The bounds keep a transfer from hanging the
// update thread forever or filling the disk. The defaults are the program's;
// tests shorten the times.
struct DownloadLimits {
  long connect_timeout_seconds = 30;  // the connection (and TLS handshake) must be made by then
  long stall_timeout_seconds = 60;    // a transfer that receives no bytes this long fails
  long max_redirects = 5;             // redirects followed at most
  std::int64_t max_bytes = -1;        // a longer body fails; negative: no limit
  // Every request, redirects included, must use https: set when the update
  // server's address is https, so that nobody on the network can step in
  // with plain http on the way.
  bool https_only = false;
  // PEM file of the certificate authorities that https servers are checked
  // against instead of the system's; empty: the system's.
  std::wstring trusted_certificates;
};

// Fetches `url` with a GET that bypasses caches and stores the body as
// `folder` + `file_name` (`folder` ends with a separator). The body goes to
// that path + ".tmp" first; only after a complete transfer with status 200 is
// an existing target removed and the temporary file renamed into place.
// Succeeds when the body is stored under the target path; a failure says why
// ("status 404", "larger than 4096 bytes", "no data for 60 s", or the HTTP
// stack's words for a connection or TLS failure). On failure the target is untouched,
// except when the rename failed after the old target was removed. A failed
// transfer leaves no temporary file; a complete one stays when the old target
// could not be removed or the rename failed. Only http and https URLs are
// fetched (only https with `limits.https_only`), and so are redirects; HTTPS
// certificates are verified.
Outcome DownloadFile(const std::wstring& file_name, const std::wstring& url,
                     const std::wstring& folder, const DownloadLimits& limits = DownloadLimits());

// Connects to the host of `url` (scheme and host, optionally a port) without
// sending a request; for https the TLS handshake, certificate check included,
// is part of it. Succeeds when the connection could be made; fails, with
// the HTTP stack's words for why, otherwise and for a URL that is not https when
// `limits.https_only`.
Outcome CheckConnection(const std::wstring& url, const DownloadLimits& limits = DownloadLimits());
