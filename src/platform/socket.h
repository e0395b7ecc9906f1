// TCP stand-ins for the local content server: a listener on the loopback
// address, accepting with a classified failure, blocking sends and receives
// bounded by time-outs, and sending a file's bytes without copying them
// through the process. Every call is safe on any thread; a handle is used by
// one thread at a time, except that ShutdownListener may wake a thread that
// waits in AcceptConnection on the same handle.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// A socket handle; 0 means none (a real socket is never given handle 0).
using SocketHandle = int;
inline constexpr SocketHandle kNoSocket = 0;

// The IPv4 loopback address 127.0.0.1 in host byte order.
inline constexpr std::uint32_t kLoopbackIpv4 = 0x7F000001u;

// Makes a write to a connection that the peer has closed a failed call
// instead of a signal that ends the process. Idempotent.
void IgnoreBrokenPipe();

// Creates a TCP socket bound to 127.0.0.1 on a port that the system picks,
// listening with the largest backlog the system allows. Returns the handle
// and stores the port (host byte order) in `port`; kNoSocket on failure
// (nothing stays open then).
SocketHandle ListenOnLoopback(std::uint16_t* port);

enum class AcceptStatus {
  kAccepted,     // `connection` and `peer_ipv4` are set
  kRetry,        // a transient failure (interrupted, connection reset in the queue): try again
  kBackOff,      // out of descriptors or memory: try again after a pause
  kNotListening  // the handle no longer listens (shut down or closed)
};
// Waits for the next connection on a listening socket. `peer_ipv4` is the
// peer's IPv4 address in host byte order (0 for other address families).
AcceptStatus AcceptConnection(SocketHandle listener, SocketHandle* connection,
                              std::uint32_t* peer_ipv4);

// Stops a listener: a thread waiting in AcceptConnection on it returns
// kNotListening, and new connection attempts are refused. The handle stays
// valid until CloseSocket.
void ShutdownListener(SocketHandle listener);
void CloseSocket(SocketHandle socket);

// Bounds every later receive and send on the socket: a call that makes no
// progress for `milliseconds` fails. False when the option cannot be set.
bool SetSocketTimeouts(SocketHandle socket, int milliseconds);

// One send of up to `count` bytes. With `more`, the bytes may wait for the
// next send to fill a packet. Returns the count sent (0 only for count 0), or
// -1 on failure (peer gone, time-out).
long SendBytes(SocketHandle socket, const void* bytes, std::size_t count, bool more);
// One receive of up to `count` bytes. Returns the count received, 0 when the
// peer has closed its side, -1 on failure or time-out.
long ReceiveBytes(SocketHandle socket, void* buffer, std::size_t count);
// Sends up to `count` bytes of an open file (native handle, see file_read.h)
// from `offset`, without copying them through the process. Returns the count
// sent, or -1 on failure.
long SendFileBytes(SocketHandle socket, int file_handle, std::uint64_t offset, std::size_t count);

}  // namespace platform
