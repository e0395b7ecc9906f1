// The few socket calls the scripted test servers make, on 127.0.0.1, over
// the system's own socket API (BSD sockets or Winsock, chosen in CMake).
#pragma once

#include <cstddef>
#include <cstdint>

namespace update_test {

using TestSocket = std::intptr_t;
inline constexpr TestSocket kNoTestSocket = -1;

// A socket listening on 127.0.0.1 at a port the system picks (`*port`).
TestSocket ListenOnLoopback(int backlog, int* port);
// A connection queued on `listener`, waiting for one at most `milliseconds`;
// kNoTestSocket when none came.
TestSocket AcceptWithin(TestSocket listener, int milliseconds);
// True when something can be received (or the peer closed) within `milliseconds`.
bool ReadableWithin(TestSocket socket, int milliseconds);
// True when a connection to 127.0.0.1:`port` is accepted by the system.
bool CanConnect(int port);
// Starts connecting to 127.0.0.1:`port` without waiting; true when the
// attempt is still pending after `milliseconds` (the listener's queue is full).
bool ConnectStaysPending(int port, int milliseconds, TestSocket* socket);
// Later sends give up after `milliseconds` without progress.
void SetSendTimeout(TestSocket socket, int milliseconds);
// One send: the count sent, 0 when it timed out, -1 when the peer is gone.
long SendSome(TestSocket socket, const void* bytes, std::size_t count);
// One receive: the count received, 0 when the peer closed, -1 on failure.
long ReceiveSome(TestSocket socket, void* buffer, std::size_t count);
void CloseTestSocket(TestSocket socket);

}  // namespace update_test
