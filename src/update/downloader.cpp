// Downloads with libcurl: a GET that bypasses caches, status 200 only, the
// body streamed into "<target>.tmp" and renamed into place when complete.
#include "update/downloader.h"

#include <curl/curl.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "platform/file_writer.h"
#include "platform/fs.h"
#include "platform/utf8.h"

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
const char* Protocols(const DownloadLimits& limits) {
  return limits.https_only ? kSecureProtocols : kAllowedProtocols;
}

// libcurl's words for a failure, in the form of a reason (no leading capital).
std::string CurlReason(CURLcode code) {
  std::string reason = curl_easy_strerror(code);
  if (!reason.empty())
    reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
  return reason;
}

// Options shared by the connection check and the download.
void SetCommonOptions(CURL* curl, const std::string& url, const DownloadLimits& limits) {
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, Protocols(limits));
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, limits.connect_timeout_seconds);
  if (!limits.trusted_certificates.empty()) {
    curl_easy_setopt(curl, CURLOPT_CAINFO, platform::ToFsName(limits.trusted_certificates).c_str());
  }
}

// One body being received. The temporary file is created at the first byte
// of a 200 answer, so nothing is created for any other status. A callback
// that stops the transfer says why in `failure`.
struct Transfer {
  CURL* curl = nullptr;
  std::wstring temp_path;
  std::FILE* file = nullptr;
  std::int64_t received = 0;
  std::int64_t max_bytes = -1;
  // Stall detection: when the byte count last changed, and the allowed quiet time.
  std::chrono::steady_clock::time_point last_progress = std::chrono::steady_clock::now();
  curl_off_t last_count = 0;
  std::chrono::seconds stall_timeout{60};
  std::string failure;

  bool Fail(std::string reason) {
    failure = std::move(reason);
    return false;
  }
  bool OpenFile() {
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (status != kStatusOk) return Fail("status " + std::to_string(status));
    // A link planted at the temporary name is replaced, never written through.
    file = platform::CreateNewFile(temp_path);
    return file != nullptr || Fail("cannot create the temporary file");
  }
  bool CloseFile() {
    std::FILE* open_file = file;
    file = nullptr;
    return open_file == nullptr || std::fclose(open_file) == 0;
  }
};

// libcurl write callback (runs on the downloading thread). Returning fewer
// bytes than given aborts the transfer.
std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  if (transfer.file == nullptr && !transfer.OpenFile()) return 0;
  transfer.received += static_cast<std::int64_t>(bytes);
  if (transfer.max_bytes >= 0 && transfer.received > transfer.max_bytes) {
    transfer.Fail("larger than " + std::to_string(transfer.max_bytes) + " bytes");
    return 0;
  }
  const std::size_t written = std::fwrite(data, 1, bytes, transfer.file);
  if (written != bytes) transfer.Fail("cannot write the temporary file");
  return written;
}

// libcurl progress callback (runs on the downloading thread, at least once a
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
                        const DownloadLimits& limits) {
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, limits.max_redirects);
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, Protocols(limits));
  transfer.stall_timeout = std::chrono::seconds(limits.stall_timeout_seconds);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &CheckStall);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
  // The body limit is kept by WriteBody alone: libcurl's own file-size limit
  // applies to a redirect's body too and would refuse a small item behind a
  // redirect.
  curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &WriteBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
}

// Why a finished transfer has no complete 200 body: a callback's reason
// first, since libcurl only reports that the callback stopped it.
Outcome TransferOutcome(const Transfer& transfer, CURLcode result, long status, bool closed) {
  if (!transfer.failure.empty()) return Outcome::Failure(transfer.failure);
  if (result != CURLE_OK) return Outcome::Failure(CurlReason(result));
  if (status != kStatusOk) return Outcome::Failure("status " + std::to_string(status));
  if (!closed) return Outcome::Failure("cannot write the temporary file");
  return Outcome::Success();
}

// Runs the transfer into the temporary file. Succeeds when a complete 200
// body (possibly empty) is in the closed temporary file.
Outcome ReceiveBody(const std::wstring& url, Transfer& transfer, const DownloadLimits& limits) {
  CurlHandle curl = NewHandle();
  if (!curl) return Outcome::Failure("no transfer handle");
  HeaderList headers(curl_slist_append(nullptr, "Cache-Control: no-cache"));
  if (!headers || !curl_slist_append(headers.get(), "Pragma: no-cache")) {
    return Outcome::Failure("no request headers");
  }
  transfer.curl = curl.get();
  SetCommonOptions(curl.get(), platform::Utf8Encode(url), limits);
  SetDownloadOptions(curl.get(), headers.get(), transfer, limits);
  const CURLcode result = curl_easy_perform(curl.get());
  long status = 0;
  curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
  // A 200 answer with an empty body never reached the write callback.
  if (result == CURLE_OK && status == kStatusOk && transfer.file == nullptr) transfer.OpenFile();
  const bool closed = transfer.CloseFile();
  return TransferOutcome(transfer, result, status, closed);
}

}  // namespace

Outcome DownloadFile(const std::wstring& file_name, const std::wstring& url,
                     const std::wstring& folder, const DownloadLimits& limits) {
  const std::wstring target = folder + file_name;
  const std::wstring temp = target + L".tmp";
  Transfer transfer;
  transfer.temp_path = temp;
  transfer.max_bytes = limits.max_bytes;
  const Outcome received = ReceiveBody(url, transfer, limits);
  if (!received) {
    // A partial body is of no use, and a stale one from earlier neither.
    platform::DeleteFileAt(temp);
    return received;
  }
  if (platform::PathExists(target) && !platform::DeleteFileAt(target)) {
    return Outcome::Failure("cannot remove the old file");
  }
  if (!platform::MoveFileTo(temp, target)) return Outcome::Failure("cannot rename into place");
  return Outcome::Success();
}

Outcome CheckConnection(const std::wstring& url, const DownloadLimits& limits) {
  CurlHandle curl = NewHandle();
  if (!curl) return Outcome::Failure("no transfer handle");
  SetCommonOptions(curl.get(), platform::Utf8Encode(url), limits);
  curl_easy_setopt(curl.get(), CURLOPT_CONNECT_ONLY, 1L);
  const CURLcode result = curl_easy_perform(curl.get());
  return result == CURLE_OK ? Outcome::Success() : Outcome::Failure(CurlReason(result));
}
