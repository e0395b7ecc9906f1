// POSIX sockets for the local content server.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

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
    default:  // EINTR, ECONNABORTED, EPROTO, EPERM, network errors of the new connection
      return AcceptStatus::kRetry;
  }
}

}  // namespace

void IgnoreBrokenPipe() { signal(SIGPIPE, SIG_IGN); }

SocketHandle ListenOnLoopback(std::uint16_t* port) {
  int fd = AvoidHandleZero(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (fd < 0) return kNoSocket;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd, SOMAXCONN) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(fd);
    return kNoSocket;
  }
  *port = ntohs(address.sin_port);
  return fd;
}

AcceptStatus AcceptConnection(SocketHandle listener, SocketHandle* connection,
                              std::uint32_t* peer_ipv4) {
  sockaddr_storage peer{};
  socklen_t length = sizeof peer;
  int fd = accept4(listener, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
  if (fd < 0) return ClassifyAcceptFailure(errno);
  fd = AvoidHandleZero(fd);
  if (fd < 0) return AcceptStatus::kBackOff;
  *connection = fd;
  *peer_ipv4 = 0;
  if (peer.ss_family == AF_INET) {
    *peer_ipv4 = ntohl(reinterpret_cast<const sockaddr_in*>(&peer)->sin_addr.s_addr);
  }
  return AcceptStatus::kAccepted;
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

long SendFileBytes(SocketHandle socket, int file_handle, std::uint64_t offset, std::size_t count) {
  off_t position = static_cast<off_t>(offset);
  for (;;) {
    ssize_t sent = sendfile(socket, file_handle, &position, count);
    if (sent >= 0) return static_cast<long>(sent);
    if (errno != EINTR) return -1;
  }
}

}  // namespace platform
