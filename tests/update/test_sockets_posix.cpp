// The test servers' socket calls over BSD sockets.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "update/test_sockets.h"

namespace update_test {
namespace {

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

bool Connect(int fd, int port) {
  sockaddr_in address = Loopback(port);
  return connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

bool PollFor(TestSocket socket, short events, int milliseconds) {
  pollfd waiting{static_cast<int>(socket), events, 0};
  return poll(&waiting, 1, milliseconds) > 0;
}

}  // namespace

TestSocket ListenOnLoopback(int backlog, int* port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address = Loopback(0);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd, backlog) != 0) {
    close(fd);
    return kNoTestSocket;
  }
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  *port = ntohs(address.sin_port);
  return fd;
}

TestSocket AcceptWithin(TestSocket listener, int milliseconds) {
  if (!PollFor(listener, POLLIN, milliseconds)) return kNoTestSocket;
  const int connection = accept(static_cast<int>(listener), nullptr, nullptr);
  return connection < 0 ? kNoTestSocket : connection;
}

bool ReadableWithin(TestSocket socket, int milliseconds) {
  return PollFor(socket, POLLIN, milliseconds);
}

bool CanConnect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  const bool ok = Connect(fd, port);
  close(fd);
  return ok;
}

bool ConnectStaysPending(int port, int milliseconds, TestSocket* socket) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  *socket = fd;
  if (Connect(fd, port)) return false;
  return errno == EINPROGRESS && !PollFor(fd, POLLOUT, milliseconds);
}

void SetSendTimeout(TestSocket socket, int milliseconds) {
  timeval timeout{milliseconds / 1000, (milliseconds % 1000) * 1000};
  setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

long SendSome(TestSocket socket, const void* bytes, std::size_t count) {
  const ssize_t n = send(static_cast<int>(socket), bytes, count, MSG_NOSIGNAL);
  if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
  return static_cast<long>(n);
}

long ReceiveSome(TestSocket socket, void* buffer, std::size_t count) {
  return static_cast<long>(recv(static_cast<int>(socket), buffer, count, 0));
}

void CloseTestSocket(TestSocket socket) {
  if (socket >= 0) close(static_cast<int>(socket));
}

}  // namespace update_test
