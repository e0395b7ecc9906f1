// HTTP over libcurl: a GET that bypasses caches, status 200 only, the body
// handed to the caller's sink as it arrives.
#include "platform/http_transfer.h"

#include <curl/curl.h>

#include <cctype>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "platform/fs.h"

namespace platform {
namespace {

constexpr const char* kUserAgent = "Quillory";
constexpr const char* kAllowedProtocols = "http,https";
constexpr const char* kSecureProtocols = "https";
constexpr long kReceiveBufferBytes = 256 * 1024;
constexpr long kStatusOk = 200;

struct CurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlHandle = std::unique_ptr<CURL, CurlDeleter>;
using HeaderList = std::unique_ptr<curl_slist, CurlDeleter>;

// libcurl's global state must be set up once before handles are made.
CurlHandle NewHandle() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  return CurlHandle(curl_easy_init());
}

// The schemes that requests and redirects may use: libcurl refuses any other
// before it connects.
const char* Protocols(const HttpTransferRules& rules) {
  return rules.https_only ? kSecureProtocols : kAllowedProtocols;
}

// libcurl's words for a failure, in the form of a reason (no leading capital).
std::string CurlReason(CURLcode code) {
  std::string reason = curl_easy_strerror(code);
  if (!reason.empty())
    reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
  return reason;
}

// Options shared by the connection check and the download.
void SetCommonOptions(CURL* curl, const std::string& url, const HttpTransferRules& rules) {
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, Protocols(rules));
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, rules.connect_timeout_seconds);
  if (!rules.trusted_certificates.empty()) {
    curl_easy_setopt(curl, CURLOPT_CAINFO, ToFsName(rules.trusted_certificates).c_str());
  }
}

// One body being received. The sink hears of the body at its first byte of a
// 200 answer, so it sees nothing of any other status. A callback that stops
// the transfer says why in `failure`.
struct Transfer {
  CURL* curl = nullptr;
  HttpBodySink* sink = nullptr;
  bool begun = false;
  // Stall detection: when the byte count last changed, and the allowed quiet time.
  std::chrono::steady_clock::time_point last_progress = std::chrono::steady_clock::now();
  curl_off_t last_count = 0;
  std::chrono::seconds stall_timeout{60};
  std::string failure;

  bool Fail(std::string reason) {
    failure = std::move(reason);
    return false;
  }
  bool Begin() {
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (status != kStatusOk) return Fail("status " + std::to_string(status));
    begun = true;
    std::string reason = sink->Begin();
    return reason.empty() || Fail(std::move(reason));
  }
};

// libcurl write callback (runs on the transferring thread). Returning fewer
// bytes than given aborts the transfer.
std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  if (!transfer.begun && !transfer.Begin()) return 0;
  std::string reason = transfer.sink->Receive(data, bytes);
  if (reason.empty()) return bytes;
  transfer.Fail(std::move(reason));
  return 0;
}

// libcurl progress callback (runs on the transferring thread, at least once a
// second): a transfer that has received no bytes for the stall time fails.
int CheckStall(void* user, curl_off_t, curl_off_t now_received, curl_off_t, curl_off_t) {
  auto& transfer = *static_cast<Transfer*>(user);
  const auto now = std::chrono::steady_clock::now();
  if (now_received != transfer.last_count) {
    transfer.last_count = now_received;
    transfer.last_progress = now;
    return 0;
  }
  if (now - transfer.last_progress < transfer.stall_timeout) return 0;
  transfer.Fail("no data for " + std::to_string(transfer.stall_timeout.count()) + " s");
  return 1;
}

void SetDownloadOptions(CURL* curl, curl_slist* headers, Transfer& transfer,
                        const HttpTransferRules& rules) {
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, rules.max_redirects);
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, Protocols(rules));
  transfer.stall_timeout = std::chrono::seconds(rules.stall_timeout_seconds);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &CheckStall);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
  // The body limit is the sink's alone: libcurl's own file-size limit applies
  // to a redirect's body too and would refuse a small item behind a redirect.
  curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &WriteBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
}

}  // namespace

std::string HttpGet(const std::string& url, const HttpTransferRules& rules, HttpBodySink& sink) {
  CurlHandle curl = NewHandle();
  if (!curl) return "no transfer handle";
  HeaderList headers(curl_slist_append(nullptr, "Cache-Control: no-cache"));
  if (!headers || !curl_slist_append(headers.get(), "Pragma: no-cache")) {
    return "no request headers";
  }
  Transfer transfer;
  transfer.curl = curl.get();
  transfer.sink = &sink;
  SetCommonOptions(curl.get(), url, rules);
  SetDownloadOptions(curl.get(), headers.get(), transfer, rules);
  const CURLcode result = curl_easy_perform(curl.get());
  // A callback's reason first, since libcurl only reports that it stopped.
  if (!transfer.failure.empty()) return transfer.failure;
  if (result != CURLE_OK) return CurlReason(result);
  long status = 0;
  curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
  if (status != kStatusOk) return "status " + std::to_string(status);
  // A 200 answer with an empty body never reached the write callback.
  if (!transfer.begun) transfer.Begin();
  return transfer.failure;
}

std::string HttpConnect(const std::string& url, const HttpTransferRules& rules) {
  CurlHandle curl = NewHandle();
  if (!curl) return "no transfer handle";
  SetCommonOptions(curl.get(), url, rules);
  curl_easy_setopt(curl.get(), CURLOPT_CONNECT_ONLY, 1L);
  const CURLcode result = curl_easy_perform(curl.get());
  return result == CURLE_OK ? std::string() : CurlReason(result);
}

}  // namespace platform
