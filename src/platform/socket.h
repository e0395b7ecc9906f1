// TCP stand-ins for the local content server: listeners on the loopback
// addresses, accepting with a classified failure, blocking sends and receives
// bounded by time-outs, and sending a file's bytes without copying them
// through the process. Every call is safe on any thread; a handle is used by
// one thread at a time, except that ShutdownListener may wake a thread that
// waits in AcceptConnection on that handle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/native_handle.h"

namespace platform {

// A socket handle (a descriptor, or a Windows SOCKET); 0 means none (a real
// socket is never given handle 0).
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kNoSocket = 0;

// Makes a write to a connection that the peer has closed a failed call
// instead of a signal that ends the process. Idempotent.
void IgnoreBrokenPipe();

// The listening sockets of the local server: one on 127.0.0.1 and one on
// [::1], at the same port. The browser is sent to "localhost", which may
// resolve to either address, so the server must hold both: a port left free
// on one of them could be taken by another user of the machine.
struct LoopbackListeners {
  SocketHandle ipv4 = kNoSocket;
  SocketHandle ipv6 = kNoSocket;  // kNoSocket when the machine has no IPv6
  std::uint16_t port = 0;         // host byte order
};

// Creates TCP sockets listening on 127.0.0.1 and on [::1] (IPv6 only) at one
// port that the system picks, free on both addresses, with the largest
// backlog the system allows. Where the machine has no IPv6 loopback, only the
// IPv4 socket is made. False on failure, when nothing stays open; that
// includes failing to find a port that is free on both addresses after a few
// tries. On failure `failure` (when not null) gets a short reason: the call
// that failed and the system's text ("listen: Too many open files"), or "no
// free port on 127.0.0.1 and [::1]". The sockets do not block:
// AcceptConnection waits for them.
bool ListenOnLoopback(LoopbackListeners* listeners, std::string* failure = nullptr);

enum class AcceptStatus {
  kAccepted,      // `connection` and `peer_is_local` are set
  kRetry,         // a transient failure (interrupted, connection reset in the queue): try again
  kBackOff,       // out of descriptors or memory: try again after a pause
  kNotListening,  // a handle no longer listens (shut down or closed)
  kNoneQueued     // only without waiting: no connection was queued
};
enum class AcceptWait { kUntilConnection, kNever };
// Accepts a connection queued on one of `count` listening sockets (see
// ListenOnLoopback); with kUntilConnection it waits for one when none is
// queued. `peer_is_local` is true when the peer's address is exactly
// 127.0.0.1 or ::1.
AcceptStatus AcceptConnection(const SocketHandle* listeners, std::size_t count,
                              SocketHandle* connection, bool* peer_is_local,
                              AcceptWait wait = AcceptWait::kUntilConnection);

// Stops a listener: a thread waiting in AcceptConnection on it returns
// kNotListening, and new connection attempts are refused (on Windows, which
// cannot stop a socket listening short of closing it, they are queued and
// never accepted until CloseSocket refuses them). The handle stays valid
// until CloseSocket.
void ShutdownListener(SocketHandle listener);
void CloseSocket(SocketHandle socket);

// Bounds every later receive and send on the socket: a call that makes no
// progress for `milliseconds` fails. False when the option cannot be set.
// Set on a listener, it bounds the connections accepted from it afterwards.
bool SetSocketTimeouts(SocketHandle socket, int milliseconds);

// One send of up to `count` bytes. With `more`, the bytes may wait for the
// next send to fill a packet (Windows has no such hint: connections there
// send small writes at once). Returns the count sent (0 only for count 0), or
// -1 on failure (peer gone, time-out).
long SendBytes(SocketHandle socket, const void* bytes, std::size_t count, bool more);
// One receive of up to `count` bytes. Returns the count received, 0 when the
// peer has closed its side, -1 on failure or time-out.
long ReceiveBytes(SocketHandle socket, void* buffer, std::size_t count);
// The same, but also failing (-1) when nothing has arrived within
// `milliseconds` (0 or less: only what has arrived already); the socket's own
// receive time-out still applies when it is shorter. Bytes that are there
// already cost no wait.
long ReceiveBytesWithin(SocketHandle socket, void* buffer, std::size_t count, int milliseconds);
// Sends up to `count` bytes of an open file (native handle, see file_read.h)
// from `offset`, without copying them through the process (on Windows through
// a buffer of the process: the system's copy, TransmitFile, serves two
// transfers at a time on its client editions). Returns the count sent, 0 at
// the end of the file, or -1 on failure.
long SendFileBytes(SocketHandle socket, FileHandle file_handle, std::uint64_t offset,
                   std::size_t count);

// The client side of a connection to a loopback listener, for a program that
// talks to a local server (the server's own tests among them). The sockets
// block; SetSocketTimeouts bounds their receives and sends.
enum class LoopbackAddress { kIpv4, kIpv6 };  // 127.0.0.1 or [::1]

// A socket for a connection to `address`, bound first to the IPv4 address
// `ipv4_source` (for example "127.0.0.2") when it is given; kNoSocket on
// failure.
SocketHandle NewLoopbackClient(LoopbackAddress address, const char* ipv4_source = nullptr);
// Connects a socket from NewLoopbackClient to its loopback address at `port`
// (host byte order). False when refused or failed.
bool ConnectToLoopback(SocketHandle client, LoopbackAddress address, std::uint16_t port);
// True when a socket could be bound to `address` at `port` now, that is when
// nobody holds it; port 0 asks whether the machine has the address at all.
bool CanBindLoopback(LoopbackAddress address, std::uint16_t port);
// Ends the sending side of a connection: the peer receives the end of the
// stream after the bytes sent so far.
void ShutdownSending(SocketHandle connection);

}  // namespace platform
