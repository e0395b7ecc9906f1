// Winsock for the local content server. The listeners hold their port for
// themselves (SO_EXCLUSIVEADDRUSE), so no other program of the machine can
// bind it, even with SO_REUSEADDR.
// clang-format off
// Winsock before windows.h, which would bring in the old Winsock 1 header.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
// clang-format on

#include <algorithm>
#include <atomic>
#include <climits>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "platform/socket.h"
#include "platform/utf8.h"
#include "platform/win32_files.h"

namespace platform {
namespace {

SOCKET AsSocket(SocketHandle handle) { return static_cast<SOCKET>(handle); }

// A port that is free on 127.0.0.1 may be taken on [::1]; a new port is
// tried this many times.
constexpr int kPortAttempts = 8;
// SendFileBytes reads the file into memory this much at a time.
constexpr std::size_t kFileChunk = 128 * 1024;

// Winsock counts its users: every start made here lasts until the process ends.
void StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}

// Listeners that ShutdownListener has stopped, each with the connection it
// made to itself to wake the threads waiting for it. Windows cannot stop a
// socket from listening short of closing it, and the handle must stay valid
// until CloseSocket; so a stopped listener only looks stopped to
// AcceptConnection, and connections queued on it are refused when it closes.
struct StoppedListener {
  SOCKET listener;
  SOCKET wake;
};
std::mutex g_stopped_mutex;
std::vector<StoppedListener> g_stopped;
std::atomic<int> g_stopped_count{0};  // lets AcceptConnection skip the lock

bool IsStopped(const SocketHandle* listeners, std::size_t count) {
  if (g_stopped_count.load(std::memory_order_acquire) == 0) return false;
  std::lock_guard<std::mutex> lock(g_stopped_mutex);
  for (const StoppedListener& stopped : g_stopped) {
    if (std::find(listeners, listeners + count, static_cast<SocketHandle>(stopped.listener)) !=
        listeners + count) {
      return true;
    }
  }
  return false;
}

// Connects to the listener's own address without waiting, so that a thread
// waiting in select for it wakes; INVALID_SOCKET when that cannot be done.
SOCKET ConnectToItself(SOCKET listener) {
  sockaddr_storage address{};
  int length = sizeof address;
  if (getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return INVALID_SOCKET;
  }
  SOCKET wake = socket(address.ss_family, SOCK_STREAM, IPPROTO_TCP);
  u_long non_blocking = 1;
  if (wake == INVALID_SOCKET) return INVALID_SOCKET;
  ioctlsocket(wake, FIONBIO, &non_blocking);
  connect(wake, reinterpret_cast<sockaddr*>(&address), length);  // completes on its own
  return wake;
}

// The call that failed while setting up a listener, and its Winsock error.
struct ListenFailure {
  const char* call = "listen";
  int error = 0;
};

// The system's text for a Winsock error, as UTF-8 without its final period.
std::string SystemText(int error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length > 0 ? std::wstring(text, length) : std::wstring();
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' ||
                              message.back() == L' ' || message.back() == L'.')) {
    message.pop_back();
  }
  if (message.empty()) return "error " + std::to_string(error);
  return Utf8Encode(message);
}

std::string Describe(const ListenFailure& failure) {
  return std::string(failure.call) + ": " + SystemText(failure.error);
}

// A TCP socket of `family`, not inherited by programs started later;
// INVALID_SOCKET with the Winsock error set on failure.
SOCKET NewTcpSocket(int family) {
  // Overlapped, as socket() makes them: the send and receive time-outs need it.
  SOCKET made = WSASocketW(family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                           WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  // Windows 7 before its first service pack does not know the flag; nothing
  // started here inherits handles anyway.
  if (made == INVALID_SOCKET && WSAGetLastError() == WSAEINVAL) {
    made = WSASocketW(family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED);
  }
  return made;
}

// A listening socket of `family` that holds its port for itself;
// INVALID_SOCKET with `failure` set when it cannot be made.
SOCKET NewListeningSocket(int family, ListenFailure* failure) {
  SOCKET made = NewTcpSocket(family);
  if (made == INVALID_SOCKET) {
    *failure = ListenFailure{family == AF_INET ? "socket" : "socket [::1]", WSAGetLastError()};
    return INVALID_SOCKET;
  }
  BOOL exclusive = TRUE;
  if (setsockopt(made, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                 sizeof exclusive) != 0) {
    *failure = ListenFailure{"SO_EXCLUSIVEADDRUSE", WSAGetLastError()};
    closesocket(made);
    return INVALID_SOCKET;
  }
  return made;
}

// Binds, listens and stops blocking; the name of the call that failed, or
// null. The Winsock error is that call's.
const char* BindAndListen(SOCKET listener, const sockaddr* address, int length, bool ipv6) {
  u_long non_blocking = 1;
  if (bind(listener, address, length) != 0) return ipv6 ? "bind [::1]" : "bind 127.0.0.1";
  if (listen(listener, SOMAXCONN) != 0) return ipv6 ? "listen [::1]" : "listen";
  if (ioctlsocket(listener, FIONBIO, &non_blocking) != 0) return "FIONBIO";
  return nullptr;
}

// Listens on 127.0.0.1 at a port that the system picks.
SOCKET ListenIpv4Loopback(std::uint16_t* port, ListenFailure* failure) {
  SOCKET listener = NewListeningSocket(AF_INET, failure);
  if (listener == INVALID_SOCKET) return INVALID_SOCKET;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  const char* failed_call =
      BindAndListen(listener, reinterpret_cast<sockaddr*>(&address), sizeof address, false);
  if (failed_call == nullptr &&
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    failed_call = "getsockname";
  }
  if (failed_call != nullptr) {
    *failure = ListenFailure{failed_call, WSAGetLastError()};
    closesocket(listener);
    return INVALID_SOCKET;
  }
  *port = ntohs(address.sin_port);
  return listener;
}

enum class Ipv6Outcome { kListening, kNoIpv6, kPortTaken, kFailed };

Ipv6Outcome ClassifyIpv6Failure(int error) {
  switch (error) {
    case WSAEAFNOSUPPORT:
    case WSAEPFNOSUPPORT:
    case WSAEPROTONOSUPPORT:
    case WSAEADDRNOTAVAIL:
      return Ipv6Outcome::kNoIpv6;
    case WSAEADDRINUSE:
    case WSAEACCES:  // held for exclusive use by another socket
      return Ipv6Outcome::kPortTaken;
    default:
      return Ipv6Outcome::kFailed;
  }
}

// Listens on [::1] at `port`, for IPv6 peers only.
Ipv6Outcome ListenIpv6Loopback(std::uint16_t port, SOCKET* listener, ListenFailure* failure) {
  SOCKET made = NewListeningSocket(AF_INET6, failure);
  if (made == INVALID_SOCKET) return ClassifyIpv6Failure(failure->error);
  DWORD only_ipv6 = 1;
  sockaddr_in6 address{};
  address.sin6_family = AF_INET6;
  address.sin6_addr = in6addr_loopback;
  address.sin6_port = htons(port);
  const char* failed_call = nullptr;
  if (setsockopt(made, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&only_ipv6),
                 sizeof only_ipv6) != 0) {
    failed_call = "IPV6_V6ONLY";
  } else {
    failed_call = BindAndListen(made, reinterpret_cast<sockaddr*>(&address), sizeof address, true);
  }
  if (failed_call != nullptr) {
    *failure = ListenFailure{failed_call, WSAGetLastError()};
    closesocket(made);
    return ClassifyIpv6Failure(failure->error);
  }
  *listener = made;
  return Ipv6Outcome::kListening;
}

AcceptStatus ClassifyAcceptFailure(int error) {
  switch (error) {
    case WSAENOTSOCK:
    case WSAEINVAL:
    case WSAEOPNOTSUPP:
    case WSANOTINITIALISED:
      return AcceptStatus::kNotListening;
    case WSAEMFILE:
    case WSAENOBUFS:
      return AcceptStatus::kBackOff;
    default:  // WSAEINTR, WSAECONNRESET (the queued connection went away), network errors
      return AcceptStatus::kRetry;
  }
}

bool IsLocalPeer(const sockaddr_storage& peer) {
  if (peer.ss_family == AF_INET) {
    const auto& ipv4 = reinterpret_cast<const sockaddr_in&>(peer);
    return ntohl(ipv4.sin_addr.s_addr) == INADDR_LOOPBACK;
  }
  if (peer.ss_family == AF_INET6) {
    const auto& ipv6 = reinterpret_cast<const sockaddr_in6&>(peer);
    return IN6_IS_ADDR_LOOPBACK(&ipv6.sin6_addr);
  }
  return false;
}

// An accepted socket takes over the listener's time-outs and its
// non-blocking mode; it is made blocking, and sends small writes at once
// (there is no MSG_MORE to hold back a header for its body).
bool PrepareConnection(SOCKET connection) {
  u_long non_blocking = 0;
  BOOL no_delay = TRUE;
  setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&no_delay),
             sizeof no_delay);
  return ioctlsocket(connection, FIONBIO, &non_blocking) == 0;
}

// Accepts a connection queued on one of the listeners without waiting; the
// same rotation between listeners as the POSIX version.
AcceptStatus AcceptQueued(const SocketHandle* listeners, std::size_t count,
                          SocketHandle* connection, bool* peer_is_local) {
  thread_local unsigned calls = 0;
  thread_local std::size_t preferred = 0;
  const std::size_t first = ++calls % 8 == 0 ? preferred + 1 : preferred;
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t index = (first + k) % count;
    sockaddr_storage peer{};
    int length = sizeof peer;
    SOCKET accepted =
        accept(AsSocket(listeners[index]), reinterpret_cast<sockaddr*>(&peer), &length);
    if (accepted == INVALID_SOCKET && WSAGetLastError() == WSAEWOULDBLOCK) continue;
    if (accepted == INVALID_SOCKET) return ClassifyAcceptFailure(WSAGetLastError());
    if (!PrepareConnection(accepted)) {
      closesocket(accepted);
      return AcceptStatus::kRetry;
    }
    preferred = index;
    *connection = static_cast<SocketHandle>(accepted);
    *peer_is_local = IsLocalPeer(peer);
    return AcceptStatus::kAccepted;
  }
  return AcceptStatus::kNoneQueued;
}

// Waits until a listener has a connection queued (or was stopped: its wake
// connection is queued then); kRetry means "look at the queues again".
AcceptStatus WaitForListeners(const SocketHandle* listeners, std::size_t count) {
  fd_set readable;
  FD_ZERO(&readable);
  for (std::size_t i = 0; i < count; ++i) FD_SET(AsSocket(listeners[i]), &readable);
  if (select(0, &readable, nullptr, nullptr, nullptr) != SOCKET_ERROR) return AcceptStatus::kRetry;
  const int error = WSAGetLastError();
  if (error == WSAENOTSOCK || error == WSANOTINITIALISED) return AcceptStatus::kNotListening;
  return error == WSAEINTR ? AcceptStatus::kRetry : AcceptStatus::kBackOff;
}

// The socket's receive time-out in milliseconds; a very large value when it has none.
int OwnReceiveTimeoutMs(SOCKET socket) {
  DWORD limit = 0;
  int length = sizeof limit;
  if (getsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char*>(&limit), &length) != 0 ||
      limit == 0 || limit > INT_MAX) {
    return INT_MAX;
  }
  return static_cast<int>(limit);
}

int ClampedLength(std::size_t count) {
  return static_cast<int>(std::min<std::size_t>(count, INT_MAX));
}

// The socket address of `address` at `port`; returns its length.
int LoopbackSocketAddress(LoopbackAddress address, std::uint16_t port, sockaddr_storage* storage) {
  *storage = sockaddr_storage{};
  if (address == LoopbackAddress::kIpv6) {
    auto* ipv6 = reinterpret_cast<sockaddr_in6*>(storage);
    ipv6->sin6_family = AF_INET6;
    ipv6->sin6_port = htons(port);
    ipv6->sin6_addr = in6addr_loopback;
    return sizeof *ipv6;
  }
  auto* ipv4 = reinterpret_cast<sockaddr_in*>(storage);
  ipv4->sin_family = AF_INET;
  ipv4->sin_port = htons(port);
  ipv4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return sizeof *ipv4;
}

int FamilyOf(LoopbackAddress address) {
  return address == LoopbackAddress::kIpv6 ? AF_INET6 : AF_INET;
}

}  // namespace

void IgnoreBrokenPipe() { StartWinsock(); }

bool ListenOnLoopback(LoopbackListeners* listeners, std::string* failure) {
  ListenFailure failed;
  auto fail = [&](std::string reason) {
    if (failure != nullptr) *failure = std::move(reason);
    return false;
  };
  StartWinsock();
  for (int attempt = 0; attempt < kPortAttempts; ++attempt) {
    std::uint16_t port = 0;
    SOCKET ipv4 = ListenIpv4Loopback(&port, &failed);
    if (ipv4 == INVALID_SOCKET) return fail(Describe(failed));
    SOCKET ipv6 = INVALID_SOCKET;
    switch (ListenIpv6Loopback(port, &ipv6, &failed)) {
      case Ipv6Outcome::kListening:
      case Ipv6Outcome::kNoIpv6:
        listeners->ipv4 = static_cast<SocketHandle>(ipv4);
        listeners->ipv6 = ipv6 == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(ipv6);
        listeners->port = port;
        return true;
      case Ipv6Outcome::kPortTaken:
        closesocket(ipv4);
        continue;
      case Ipv6Outcome::kFailed:
        closesocket(ipv4);
        return fail(Describe(failed));
    }
  }
  return fail("no free port on 127.0.0.1 and [::1]");
}

AcceptStatus AcceptConnection(const SocketHandle* listeners, std::size_t count,
                              SocketHandle* connection, bool* peer_is_local, AcceptWait wait) {
  if (count == 0 || count > 2) return AcceptStatus::kNotListening;
  for (;;) {
    if (IsStopped(listeners, count)) return AcceptStatus::kNotListening;
    AcceptStatus status = AcceptQueued(listeners, count, connection, peer_is_local);
    if (status != AcceptStatus::kNoneQueued || wait == AcceptWait::kNever) return status;
    status = WaitForListeners(listeners, count);
    if (status != AcceptStatus::kRetry) return status;
  }
}

void ShutdownListener(SocketHandle listener) {
  if (listener == kNoSocket) return;
  std::lock_guard<std::mutex> lock(g_stopped_mutex);
  for (const StoppedListener& stopped : g_stopped) {
    if (stopped.listener == AsSocket(listener)) return;
  }
  try {
    g_stopped.push_back({AsSocket(listener), INVALID_SOCKET});
  } catch (const std::bad_alloc&) {
    return;
  }
  g_stopped_count.fetch_add(1, std::memory_order_release);
  // Marked first: a thread woken by the connection finds the mark.
  g_stopped.back().wake = ConnectToItself(AsSocket(listener));
}

void CloseSocket(SocketHandle socket) {
  if (socket == kNoSocket) return;
  {
    std::lock_guard<std::mutex> lock(g_stopped_mutex);
    for (auto it = g_stopped.begin(); it != g_stopped.end(); ++it) {
      if (it->listener != AsSocket(socket)) continue;
      if (it->wake != INVALID_SOCKET) closesocket(it->wake);
      g_stopped.erase(it);
      g_stopped_count.fetch_sub(1, std::memory_order_release);
      break;
    }
  }
  closesocket(AsSocket(socket));
}

bool SetSocketTimeouts(SocketHandle socket, int milliseconds) {
  if (milliseconds < 0) return false;
  const DWORD limit = static_cast<DWORD>(milliseconds);
  const char* value = reinterpret_cast<const char*>(&limit);
  return setsockopt(AsSocket(socket), SOL_SOCKET, SO_RCVTIMEO, value, sizeof limit) == 0 &&
         setsockopt(AsSocket(socket), SOL_SOCKET, SO_SNDTIMEO, value, sizeof limit) == 0;
}

long SendBytes(SocketHandle socket, const void* bytes, std::size_t count, bool /*more*/) {
  const int sent = send(AsSocket(socket), static_cast<const char*>(bytes), ClampedLength(count), 0);
  return sent == SOCKET_ERROR ? -1 : static_cast<long>(sent);
}

long ReceiveBytes(SocketHandle socket, void* buffer, std::size_t count) {
  const int got = recv(AsSocket(socket), static_cast<char*>(buffer), ClampedLength(count), 0);
  return got == SOCKET_ERROR ? -1 : static_cast<long>(got);
}

long ReceiveBytesWithin(SocketHandle socket, void* buffer, std::size_t count, int milliseconds) {
  const SOCKET s = AsSocket(socket);
  const int wait_ms = std::min(std::max(milliseconds, 0), OwnReceiveTimeoutMs(s));
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(s, &readable);
  timeval limit{wait_ms / 1000, (wait_ms % 1000) * 1000};
  // Readable: bytes are there, or the peer has closed or reset; recv does not wait then.
  if (select(0, &readable, nullptr, nullptr, &limit) != 1) return -1;
  return ReceiveBytes(socket, buffer, count);
}

long SendFileBytes(SocketHandle socket, FileHandle file_handle, std::uint64_t offset,
                   std::size_t count) {
  // Through memory: TransmitFile, the system's copy, allows only two
  // transfers at a time on the client editions of Windows.
  std::unique_ptr<char[]> chunk(new (std::nothrow) char[kFileChunk]);
  if (chunk == nullptr) return -1;
  const long got =
      ReadAtOffset(AsHandle(file_handle), chunk.get(), std::min(count, kFileChunk), offset);
  if (got <= 0) return got;
  long sent = 0;
  while (sent < got) {
    const long n =
        SendBytes(socket, chunk.get() + sent, static_cast<std::size_t>(got - sent), false);
    if (n <= 0) return sent > 0 ? sent : -1;
    sent += n;
  }
  return sent;
}

SocketHandle NewLoopbackClient(LoopbackAddress address, const char* ipv4_source) {
  StartWinsock();
  SOCKET made = NewTcpSocket(FamilyOf(address));
  if (made == INVALID_SOCKET) return kNoSocket;
  if (ipv4_source == nullptr || address != LoopbackAddress::kIpv4) {
    return static_cast<SocketHandle>(made);
  }
  sockaddr_in from{};
  from.sin_family = AF_INET;
  if (inet_pton(AF_INET, ipv4_source, &from.sin_addr) != 1 ||
      bind(made, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
    closesocket(made);
    return kNoSocket;
  }
  return static_cast<SocketHandle>(made);
}

bool ConnectToLoopback(SocketHandle client, LoopbackAddress address, std::uint16_t port) {
  sockaddr_storage to;
  const int length = LoopbackSocketAddress(address, port, &to);
  return connect(AsSocket(client), reinterpret_cast<sockaddr*>(&to), length) == 0;
}

bool CanBindLoopback(LoopbackAddress address, std::uint16_t port) {
  StartWinsock();
  SOCKET probe = NewTcpSocket(FamilyOf(address));
  if (probe == INVALID_SOCKET) return false;
  sockaddr_storage at;
  const int length = LoopbackSocketAddress(address, port, &at);
  const bool bound = bind(probe, reinterpret_cast<sockaddr*>(&at), length) == 0;
  closesocket(probe);
  return bound;
}

void ShutdownSending(SocketHandle connection) { shutdown(AsSocket(connection), SD_SEND); }

}  // namespace platform
