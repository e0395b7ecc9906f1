// POSIX sockets for the local content server.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <string>
#include <system_error>

#include "platform/socket.h"

namespace platform {

namespace {

// Handle 0 means "no socket" to the callers; when the standard input is
// closed the system may hand out descriptor 0, so move it out of the way.
int AvoidHandleZero(int fd) {
  if (fd != 0) return fd;
  int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  close(fd);
  return moved;
}

AcceptStatus ClassifyAcceptFailure(int error) {
  switch (error) {
    case EBADF:
    case EINVAL:
    case ENOTSOCK:
    case EOPNOTSUPP:
      return AcceptStatus::kNotListening;
    case EMFILE:
    case ENFILE:
    case ENOBUFS:
    case ENOMEM:
      return AcceptStatus::kBackOff;
    default:  // EINTR, EAGAIN (the queued connection went away), ECONNABORTED, EPROTO,
              // EPERM, network errors of the new connection
      return AcceptStatus::kRetry;
  }
}

// A port that is free on 127.0.0.1 may be taken on [::1]; a new port is
// tried this many times.
constexpr int kPortAttempts = 8;
// A connection that sends nothing is still queued after about this long.
constexpr int kDeferAcceptSeconds = 1;

// Makes a non-blocking listening socket of `family`; -1 with errno on failure.
int NewListeningSocket(int family) {
  int fd = AvoidHandleZero(socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (fd < 0) return -1;
  // A connection is queued only once its first bytes are there, so the
  // thread that takes it reads the request without waiting for it, and a
  // client that connects and says nothing holds no thread for the first
  // seconds. Only speed depends on it; where it cannot be set, all works.
  int seconds = kDeferAcceptSeconds;
  setsockopt(fd, IPPROTO_TCP, TCP_DEFER_ACCEPT, &seconds, sizeof seconds);
  return fd;
}

// The call that failed while setting up a listener, and its errno.
struct ListenFailure {
  const char* call = "listen";
  int error = 0;
};

std::string Describe(const ListenFailure& failure) {
  return std::string(failure.call) + ": " +
         std::error_code(failure.error, std::generic_category()).message();
}

// Listens on 127.0.0.1 at a port that the system picks; -1 on failure.
int ListenIpv4Loopback(std::uint16_t* port, ListenFailure* failure) {
  int fd = NewListeningSocket(AF_INET);
  if (fd < 0) {
    *failure = ListenFailure{"socket", errno};
    return -1;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  const char* failed_call = nullptr;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    failed_call = "bind 127.0.0.1";
  } else if (listen(fd, SOMAXCONN) != 0) {
    failed_call = "listen";
  } else if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    failed_call = "getsockname";
  }
  if (failed_call != nullptr) {
    *failure = ListenFailure{failed_call, errno};
    close(fd);
    return -1;
  }
  *port = ntohs(address.sin_port);
  return fd;
}

enum class Ipv6Outcome { kListening, kNoIpv6, kPortTaken, kFailed };

Ipv6Outcome ClassifyIpv6Failure(int error) {
  switch (error) {
    case EAFNOSUPPORT:
    case EADDRNOTAVAIL:
      return Ipv6Outcome::kNoIpv6;
    case EADDRINUSE:
      return Ipv6Outcome::kPortTaken;
    default:
      return Ipv6Outcome::kFailed;
  }
}

// Listens on [::1] at `port`, for IPv6 peers only (the IPv4 side has its own
// socket).
Ipv6Outcome ListenIpv6Loopback(std::uint16_t port, int* listener, ListenFailure* failure) {
  int fd = NewListeningSocket(AF_INET6);
  if (fd < 0) {
    *failure = ListenFailure{"socket [::1]", errno};
    return ClassifyIpv6Failure(failure->error);
  }
  int only_ipv6 = 1;
  sockaddr_in6 address{};
  address.sin6_family = AF_INET6;
  address.sin6_addr = in6addr_loopback;
  address.sin6_port = htons(port);
  const char* failed_call = nullptr;
  if (setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &only_ipv6, sizeof only_ipv6) != 0) {
    failed_call = "IPV6_V6ONLY";
  } else if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    failed_call = "bind [::1]";
  } else if (listen(fd, SOMAXCONN) != 0) {
    failed_call = "listen [::1]";
  }
  if (failed_call != nullptr) {
    *failure = ListenFailure{failed_call, errno};
    close(fd);
    return ClassifyIpv6Failure(failure->error);
  }
  *listener = fd;
  return Ipv6Outcome::kListening;
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

// Waits until a listener has a connection queued or no longer listens:
// kRetry means "look at the queues again".
AcceptStatus WaitForListeners(const SocketHandle* listeners, std::size_t count) {
  pollfd waits[2];
  for (std::size_t i = 0; i < count; ++i) {
    waits[i] = pollfd{static_cast<int>(listeners[i]), POLLIN, 0};
  }
  if (poll(waits, static_cast<nfds_t>(count), -1) < 0) {
    return errno == EINTR ? AcceptStatus::kRetry : AcceptStatus::kBackOff;
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (waits[i].revents & POLLNVAL) return AcceptStatus::kNotListening;
  }
  return AcceptStatus::kRetry;
}

// Accepts a connection queued on one of the listeners without waiting. It
// looks first where this thread's last connection came from, so that a busy
// server mostly needs one call, but every few calls first at the other
// listener, so that a busy one cannot starve the other.
AcceptStatus AcceptQueued(const SocketHandle* listeners, std::size_t count,
                          SocketHandle* connection, bool* peer_is_local) {
  thread_local unsigned calls = 0;
  thread_local std::size_t preferred = 0;
  const std::size_t first = ++calls % 8 == 0 ? preferred + 1 : preferred;
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t index = (first + k) % count;
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    int fd = accept4(listeners[index], reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    if (fd < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (fd < 0) return ClassifyAcceptFailure(errno);
    fd = AvoidHandleZero(fd);
    if (fd < 0) return AcceptStatus::kBackOff;
    preferred = index;
    *connection = fd;
    *peer_is_local = IsLocalPeer(peer);
    return AcceptStatus::kAccepted;
  }
  return AcceptStatus::kNoneQueued;
}

// The socket's receive time-out in milliseconds; a very large value when it
// has none.
int OwnReceiveTimeoutMs(int socket) {
  constexpr int kNone = std::numeric_limits<int>::max();
  timeval limit{};
  socklen_t length = sizeof limit;
  if (getsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, &length) != 0) return kNone;
  if (limit.tv_sec == 0 && limit.tv_usec == 0) return kNone;
  if (limit.tv_sec >= kNone / 1000 - 1) return kNone;
  return static_cast<int>(limit.tv_sec * 1000 + (limit.tv_usec + 999) / 1000);
}

// The socket address of `address` at `port`; returns its length.
socklen_t LoopbackSocketAddress(LoopbackAddress address, std::uint16_t port,
                                sockaddr_storage* storage) {
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

void IgnoreBrokenPipe() { signal(SIGPIPE, SIG_IGN); }

bool ListenOnLoopback(LoopbackListeners* listeners, std::string* failure) {
  ListenFailure failed;
  auto fail = [&](std::string reason) {
    if (failure != nullptr) *failure = std::move(reason);
    return false;
  };
  for (int attempt = 0; attempt < kPortAttempts; ++attempt) {
    std::uint16_t port = 0;
    int ipv4 = ListenIpv4Loopback(&port, &failed);
    if (ipv4 < 0) return fail(Describe(failed));
    int ipv6 = -1;
    switch (ListenIpv6Loopback(port, &ipv6, &failed)) {
      case Ipv6Outcome::kListening:
      case Ipv6Outcome::kNoIpv6:
        listeners->ipv4 = ipv4;
        listeners->ipv6 = ipv6 < 0 ? kNoSocket : ipv6;
        listeners->port = port;
        return true;
      case Ipv6Outcome::kPortTaken:
        close(ipv4);
        continue;
      case Ipv6Outcome::kFailed:
        close(ipv4);
        return fail(Describe(failed));
    }
  }
  return fail("no free port on 127.0.0.1 and [::1]");
}

AcceptStatus AcceptConnection(const SocketHandle* listeners, std::size_t count,
                              SocketHandle* connection, bool* peer_is_local, AcceptWait wait) {
  if (count == 0 || count > 2) return AcceptStatus::kNotListening;
  for (;;) {
    AcceptStatus status = AcceptQueued(listeners, count, connection, peer_is_local);
    if (status != AcceptStatus::kNoneQueued || wait == AcceptWait::kNever) return status;
    status = WaitForListeners(listeners, count);
    if (status != AcceptStatus::kRetry) return status;
  }
}

void ShutdownListener(SocketHandle listener) { shutdown(listener, SHUT_RDWR); }

void CloseSocket(SocketHandle socket) {
  if (socket > 0) close(socket);
}

bool SetSocketTimeouts(SocketHandle socket, int milliseconds) {
  timeval limit{};
  limit.tv_sec = milliseconds / 1000;
  limit.tv_usec = (milliseconds % 1000) * 1000;
  return setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) == 0 &&
         setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) == 0;
}

long SendBytes(SocketHandle socket, const void* bytes, std::size_t count, bool more) {
  int flags = MSG_NOSIGNAL | (more ? MSG_MORE : 0);
  for (;;) {
    ssize_t sent = send(socket, bytes, count, flags);
    if (sent >= 0) return static_cast<long>(sent);
    if (errno != EINTR) return -1;
  }
}

long ReceiveBytes(SocketHandle socket, void* buffer, std::size_t count) {
  for (;;) {
    ssize_t received = recv(socket, buffer, count, 0);
    if (received >= 0) return static_cast<long>(received);
    if (errno != EINTR) return -1;
  }
}

long ReceiveBytesWithin(SocketHandle socket, void* buffer, std::size_t count, int milliseconds) {
  for (;;) {
    ssize_t received = recv(socket, buffer, count, MSG_DONTWAIT);
    if (received >= 0) return static_cast<long>(received);
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    pollfd wait{static_cast<int>(socket), POLLIN, 0};
    int ready = poll(&wait, 1, std::min(std::max(milliseconds, 0), OwnReceiveTimeoutMs(socket)));
    if (ready == 0) return -1;
    if (ready < 0 && errno != EINTR) return -1;
  }
}

long SendFileBytes(SocketHandle socket, FileHandle file_handle, std::uint64_t offset,
                   std::size_t count) {
  off_t position = static_cast<off_t>(offset);
  for (;;) {
    ssize_t sent = sendfile(socket, file_handle, &position, count);
    if (sent >= 0) return static_cast<long>(sent);
    if (errno != EINTR) return -1;
  }
}

SocketHandle NewLoopbackClient(LoopbackAddress address, const char* ipv4_source) {
  int fd = AvoidHandleZero(socket(FamilyOf(address), SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (fd < 0) return kNoSocket;
  if (ipv4_source == nullptr || address != LoopbackAddress::kIpv4) return fd;
  sockaddr_in from{};
  from.sin_family = AF_INET;
  if (inet_pton(AF_INET, ipv4_source, &from.sin_addr) != 1 ||
      bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
    close(fd);
    return kNoSocket;
  }
  return fd;
}

bool ConnectToLoopback(SocketHandle client, LoopbackAddress address, std::uint16_t port) {
  sockaddr_storage to;
  const socklen_t length = LoopbackSocketAddress(address, port, &to);
  return connect(static_cast<int>(client), reinterpret_cast<sockaddr*>(&to), length) == 0;
}

bool CanBindLoopback(LoopbackAddress address, std::uint16_t port) {
  int fd = socket(FamilyOf(address), SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_storage at;
  const socklen_t length = LoopbackSocketAddress(address, port, &at);
  const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&at), length) == 0;
  close(fd);
  return bound;
}

void ShutdownSending(SocketHandle connection) { shutdown(connection, SHUT_WR); }

}  // namespace platform
