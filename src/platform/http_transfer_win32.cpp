// HTTP over WinINet: a GET that bypasses WinINet's cache and any proxy
// cache, status 200 only, redirects followed here rather than by WinINet so
// that their number and scheme are checked, the body handed to the caller's
// sink as it arrives. The connection check of an http address is a plain
// Winsock connect, so that no request is sent.
// clang-format off
// Winsock before windows.h, which would bring in the old Winsock 1 header.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <wininet.h>
// clang-format on

#include <cctype>
#include <string>
#include <vector>

#include "platform/http_transfer.h"
#include "platform/utf8.h"

namespace platform {
namespace {

constexpr const wchar_t* kUserAgent = L"Quillory";
constexpr const wchar_t* kNoCacheHeaders = L"Cache-Control: no-cache\r\nPragma: no-cache\r\n";
constexpr DWORD kReceiveBufferBytes = 256 * 1024;
constexpr DWORD kStatusOk = 200;
// Every request: never answered from, nor stored in, WinINet's cache; no
// cookies, no dialogs; redirects are ours to follow.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_AUTO_REDIRECT |
                                INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI |
                                INTERNET_FLAG_KEEP_CONNECTION;

class InternetHandle {
 public:
  explicit InternetHandle(HINTERNET handle = nullptr) : m_handle(handle) {}
  ~InternetHandle() {
    if (m_handle != nullptr) InternetCloseHandle(m_handle);
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  HINTERNET Get() const { return m_handle; }
  explicit operator bool() const { return m_handle != nullptr; }

 private:
  HINTERNET m_handle;
};

// A reason in the form the callers use: no leading capital, no final period.
std::string AsReason(std::wstring text) {
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' ||
                           text.back() == L'.')) {
    text.pop_back();
  }
  std::string reason = Utf8Encode(text);
  if (!reason.empty())
    reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
  return reason;
}

// WinINet's (or the system's) words for an error code.
std::string ErrorReason(DWORD error) {
  if (error == ERROR_INTERNET_TIMEOUT) return "timed out";
  wchar_t* text = nullptr;
  const bool wininet = error >= INTERNET_ERROR_BASE && error <= INTERNET_ERROR_LAST;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                         (wininet ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM),
                     wininet ? GetModuleHandleW(L"wininet.dll") : nullptr, error, 0,
                     reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length > 0 ? std::wstring(text, length) : std::wstring();
  if (text != nullptr) LocalFree(text);
  if (message.empty()) return "network error " + std::to_string(error);
  return AsReason(message);
}

// The parts of a URL that the rules look at; scheme INTERNET_SCHEME_UNKNOWN
// for one WinINet cannot read.
struct UrlParts {
  INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
  std::wstring host;
  INTERNET_PORT port = 0;
};

UrlParts CrackUrl(const std::wstring& url) {
  wchar_t host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = {};
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = INTERNET_MAX_HOST_NAME_LENGTH + 1;
  UrlParts cracked;
  if (!InternetCrackUrlW(url.c_str(), 0, 0, &parts)) return cracked;
  cracked.scheme = parts.nScheme;
  cracked.host.assign(host, parts.dwHostNameLength);
  cracked.port = parts.nPort;
  return cracked;
}

// Empty when `url` may be requested under the rules, otherwise why not.
std::string SchemeRefusal(const std::wstring& url, const HttpTransferRules& rules) {
  const INTERNET_SCHEME scheme = CrackUrl(url).scheme;
  if (scheme == INTERNET_SCHEME_HTTPS) return {};
  if (scheme == INTERNET_SCHEME_HTTP && !rules.https_only) return {};
  return rules.https_only ? "not an https address" : "not an http or https address";
}

DWORD Milliseconds(long seconds) { return static_cast<DWORD>(seconds) * 1000; }

// A session with the rules' time-outs. WinINet's receive time-out applies to
// each wait for data, which makes it the stall time-out.
// Null when WinINet cannot open one.
HINTERNET OpenSession(const HttpTransferRules& rules) {
  HINTERNET session = InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (session == nullptr) return nullptr;
  DWORD connect = Milliseconds(rules.connect_timeout_seconds);
  DWORD stall = Milliseconds(rules.stall_timeout_seconds);
  InternetSetOptionW(session, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
  InternetSetOptionW(session, INTERNET_OPTION_SEND_TIMEOUT, &stall, sizeof stall);
  InternetSetOptionW(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &stall, sizeof stall);
  return session;
}

bool QueryNumber(HINTERNET request, DWORD what, DWORD* value) {
  DWORD size = sizeof *value;
  return HttpQueryInfoW(request, what | HTTP_QUERY_FLAG_NUMBER, value, &size, nullptr) != FALSE;
}

bool IsRedirect(DWORD status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The absolute address a redirect answer points to; empty when it has none.
std::wstring RedirectTarget(HINTERNET request, const std::wstring& base) {
  DWORD size = 0;
  HttpQueryInfoW(request, HTTP_QUERY_LOCATION, nullptr, &size, nullptr);
  if (size == 0) return {};
  std::vector<wchar_t> location(size / sizeof(wchar_t) + 1);
  if (!HttpQueryInfoW(request, HTTP_QUERY_LOCATION, location.data(), &size, nullptr)) return {};
  DWORD combined_size = INTERNET_MAX_URL_LENGTH;
  std::vector<wchar_t> combined(combined_size + 1);
  if (!InternetCombineUrlW(base.c_str(), location.data(), combined.data(), &combined_size, 0)) {
    return {};
  }
  return std::wstring(combined.data(), combined_size);
}

std::string StallReason(const HttpTransferRules& rules) {
  return "no data for " + std::to_string(rules.stall_timeout_seconds) + " s";
}

// Hands the body of a 200 answer to the sink. A read that waits longer than
// the receive time-out fails with ERROR_INTERNET_TIMEOUT: the stall time-out
// (Wine's WinINet lets such a read wait on). A body shorter than its
// Content-Length is a transfer cut short, which WinINet reports as an end.
std::string ReadBody(HINTERNET request, const HttpTransferRules& rules, HttpBodySink& sink) {
  std::string failure = sink.Begin();
  if (!failure.empty()) return failure;
  std::vector<char> buffer(kReceiveBufferBytes);
  unsigned long long received = 0;
  for (;;) {
    DWORD read = 0;
    if (!InternetReadFile(request, buffer.data(), kReceiveBufferBytes, &read)) {
      const DWORD error = GetLastError();
      return error == ERROR_INTERNET_TIMEOUT ? StallReason(rules) : ErrorReason(error);
    }
    if (read == 0) break;
    received += read;
    failure = sink.Receive(buffer.data(), read);
    if (!failure.empty()) return failure;
  }
  DWORD expected = 0;
  if (QueryNumber(request, HTTP_QUERY_CONTENT_LENGTH, &expected) && received < expected) {
    return "transfer closed with " + std::to_string(expected - received) + " bytes remaining";
  }
  return {};
}

// One request of a chain of redirects. Sets `next` for a redirect to follow.
std::string RequestOnce(HINTERNET session, const std::wstring& url, const HttpTransferRules& rules,
                        HttpBodySink& sink, std::wstring* next) {
  DWORD flags = kRequestFlags;
  if (CrackUrl(url).scheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
  InternetHandle request(
      InternetOpenUrlW(session, url.c_str(), kNoCacheHeaders, static_cast<DWORD>(-1), flags, 0));
  if (!request) return ErrorReason(GetLastError());
  // Set on the request too, in case a WinINet does not pass the session's on.
  DWORD stall = Milliseconds(rules.stall_timeout_seconds);
  InternetSetOptionW(request.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &stall, sizeof stall);
  DWORD status = 0;
  if (!QueryNumber(request.Get(), HTTP_QUERY_STATUS_CODE, &status)) return "no status";
  if (IsRedirect(status)) {
    *next = RedirectTarget(request.Get(), url);
    return next->empty() ? "redirect without a location" : std::string();
  }
  if (status != kStatusOk) return "status " + std::to_string(status);
  return ReadBody(request.Get(), rules, sink);
}

// Connects to host:port over TCP within the connect time-out, then closes.
std::string ConnectTcp(const UrlParts& parts, const HttpTransferRules& rules) {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) return "no network";
  addrinfoW hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfoW* found = nullptr;
  const std::wstring port = std::to_wstring(parts.port);
  if (GetAddrInfoW(parts.host.c_str(), port.c_str(), &hints, &found) != 0 || found == nullptr) {
    return "could not resolve host";
  }
  std::string failure = "could not connect";
  for (addrinfoW* address = found; address != nullptr; address = address->ai_next) {
    SOCKET s = socket(address->ai_family, address->ai_socktype, address->ai_protocol);
    if (s == INVALID_SOCKET) continue;
    u_long non_blocking = 1;
    ioctlsocket(s, FIONBIO, &non_blocking);
    connect(s, address->ai_addr, static_cast<int>(address->ai_addrlen));
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval wait{rules.connect_timeout_seconds, 0};
    const int ready = select(0, nullptr, &writable, &failed, &wait);
    const bool connected = ready > 0 && FD_ISSET(s, &writable) && !FD_ISSET(s, &failed);
    closesocket(s);
    if (connected) {
      failure.clear();
      break;
    }
    failure = ready == 0 ? "connection timed out" : "could not connect";
  }
  FreeAddrInfoW(found);
  return failure;
}

// WinINet connects only for a request: a HEAD request for "/", whatever its
// answer, shows that the connection and the TLS handshake were made.
std::string ConnectTls(const UrlParts& parts, const HttpTransferRules& rules) {
  InternetHandle session(OpenSession(rules));
  if (!session) return ErrorReason(GetLastError());
  InternetHandle connection(InternetConnectW(session.Get(), parts.host.c_str(), parts.port, nullptr,
                                             nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return ErrorReason(GetLastError());
  InternetHandle request(HttpOpenRequestW(connection.Get(), L"HEAD", L"/", nullptr, nullptr,
                                          nullptr, kRequestFlags | INTERNET_FLAG_SECURE, 0));
  if (!request) return ErrorReason(GetLastError());
  if (!HttpSendRequestW(request.Get(), kNoCacheHeaders, static_cast<DWORD>(-1), nullptr, 0)) {
    return ErrorReason(GetLastError());
  }
  return {};
}

// WinINet checks certificates against the system's authorities only.
std::string OwnAuthoritiesRefusal(const HttpTransferRules& rules) {
  if (rules.trusted_certificates.empty()) return {};
  return "own certificate authorities are not supported by WinINet";
}

}  // namespace

std::string HttpGet(const std::string& url, const HttpTransferRules& rules, HttpBodySink& sink) {
  std::string failure = OwnAuthoritiesRefusal(rules);
  if (!failure.empty()) return failure;
  std::wstring current = Utf8Decode(url);
  InternetHandle session(OpenSession(rules));
  if (!session) return ErrorReason(GetLastError());
  for (long redirects = 0;; ++redirects) {
    failure = SchemeRefusal(current, rules);
    if (!failure.empty()) return failure;
    std::wstring next;
    failure = RequestOnce(session.Get(), current, rules, sink, &next);
    if (!failure.empty() || next.empty()) return failure;
    if (redirects >= rules.max_redirects) {
      return "more than " + std::to_string(rules.max_redirects) + " redirects";
    }
    current = next;
  }
}

std::string HttpConnect(const std::string& url, const HttpTransferRules& rules) {
  std::string failure = OwnAuthoritiesRefusal(rules);
  if (!failure.empty()) return failure;
  const std::wstring wide = Utf8Decode(url);
  failure = SchemeRefusal(wide, rules);
  if (!failure.empty()) return failure;
  const UrlParts parts = CrackUrl(wide);
  if (parts.scheme == INTERNET_SCHEME_HTTPS) return ConnectTls(parts, rules);
  return ConnectTcp(parts, rules);
}

}  // namespace platform
