// HTTP GET and the connection check of the update client, over the system's
// HTTP stack: libcurl on Linux, WinINet on Windows. Both keep the same rules:
// a GET that bypasses caches, status 200 only, a few redirects followed,
// https-only when asked, a stall time-out. Blocking; safe on any thread, one
// transfer per call. Where the body goes (and how much of it is accepted) is
// the caller's, through HttpBodySink.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

struct HttpTransferRules {
  long connect_timeout_seconds = 30;  // the connection (and TLS handshake) must be made by then
  long stall_timeout_seconds = 60;    // a transfer that receives no bytes this long fails
  long max_redirects = 5;             // redirects followed at most
  bool https_only = false;            // the URL and every redirect must be https
  // PEM file of the certificate authorities to check https servers against
  // instead of the system's; empty: the system's.
  std::wstring trusted_certificates;
};

// Receives the body of a 200 answer, on the transferring thread. Each call
// returns an empty string to go on, or the reason to stop the transfer.
class HttpBodySink {
 public:
  virtual ~HttpBodySink() = default;
  // The final answer has status 200: called once before its first bytes,
  // also when the body is empty.
  virtual std::string Begin() = 0;
  virtual std::string Receive(const char* data, std::size_t size) = 0;
};

// Fetches `url` (UTF-8, http or https only) into `sink`. Returns an empty
// string when the whole 200 body went to the sink; otherwise why not, in
// words without a leading capital ("status 404", "no data for 60 s", a
// sink's reason, the HTTP stack's words for a connection or TLS failure).
std::string HttpGet(const std::string& url, const HttpTransferRules& rules, HttpBodySink& sink);

// Connects to the host of `url`; for https the TLS handshake, certificate
// check included, is part of it. Returns an empty string when it could be
// made, otherwise why not. No request is sent where the HTTP stack allows
// (libcurl); WinINet makes the connection only for a request, so there an
// https check sends a HEAD request for "/" and any answer counts.
std::string HttpConnect(const std::string& url, const HttpTransferRules& rules);

}  // namespace platform
