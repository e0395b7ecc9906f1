// The test servers' socket calls over Winsock.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/socket_layer.h"
#include "update/test_sockets.h"

namespace update_test {
namespace {

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

SOCKET Native(TestSocket socket) { return static_cast<SOCKET>(socket); }

// Winsock must be started before the first socket of the process.
SOCKET NewSocket() {
  static const bool started = platform::InitSocketLayer();
  return started ? ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : INVALID_SOCKET;
}

bool Connect(SOCKET s, int port) {
  sockaddr_in address = Loopback(port);
  return connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

bool PollFor(TestSocket socket, short events, int milliseconds) {
  WSAPOLLFD waiting{Native(socket), events, 0};
  return WSAPoll(&waiting, 1, milliseconds) > 0;
}

TestSocket Wrap(SOCKET s) {
  return s == INVALID_SOCKET ? kNoTestSocket : static_cast<TestSocket>(s);
}

}  // namespace

TestSocket ListenOnLoopback(int backlog, int* port) {
  const SOCKET s = NewSocket();
  if (s == INVALID_SOCKET) return kNoTestSocket;
  sockaddr_in address = Loopback(0);
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(s, backlog) != 0) {
    closesocket(s);
    return kNoTestSocket;
  }
  int length = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  *port = ntohs(address.sin_port);
  return Wrap(s);
}

TestSocket AcceptWithin(TestSocket listener, int milliseconds) {
  if (!PollFor(listener, POLLRDNORM, milliseconds)) return kNoTestSocket;
  return Wrap(accept(Native(listener), nullptr, nullptr));
}

bool ReadableWithin(TestSocket socket, int milliseconds) {
  return PollFor(socket, POLLRDNORM, milliseconds);
}

bool CanConnect(int port) {
  const SOCKET s = NewSocket();
  const bool ok = s != INVALID_SOCKET && Connect(s, port);
  closesocket(s);
  return ok;
}

bool ConnectStaysPending(int port, int milliseconds, TestSocket* socket) {
  const SOCKET s = NewSocket();
  *socket = Wrap(s);
  u_long non_blocking = 1;
  if (s == INVALID_SOCKET || ioctlsocket(s, FIONBIO, &non_blocking) != 0) return false;
  if (Connect(s, port)) return false;
  return WSAGetLastError() == WSAEWOULDBLOCK && !PollFor(*socket, POLLWRNORM, milliseconds);
}

void SetSendTimeout(TestSocket socket, int milliseconds) {
  const DWORD timeout = static_cast<DWORD>(milliseconds);
  setsockopt(Native(socket), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout),
             sizeof timeout);
}

long SendSome(TestSocket socket, const void* bytes, std::size_t count) {
  const int n = send(Native(socket), static_cast<const char*>(bytes), static_cast<int>(count), 0);
  if (n == SOCKET_ERROR) return WSAGetLastError() == WSAETIMEDOUT ? 0 : -1;
  return n;
}

long ReceiveSome(TestSocket socket, void* buffer, std::size_t count) {
  return recv(Native(socket), static_cast<char*>(buffer), static_cast<int>(count), 0);
}

void CloseTestSocket(TestSocket socket) {
  if (socket != kNoTestSocket) closesocket(Native(socket));
}

}  // namespace update_test
