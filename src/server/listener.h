// The listener's chain of connection threads: exactly one thread waits for
// the next connection; as soon as it has one it starts its successor and
// serves the connection itself. Server-internal; StartServer and StopServer
// (server.h) drive it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/thread_start.h"

// 1 while the chain of connection threads is alive, 0 otherwise. Written by
// StartServer, StopServer and the thread that ends the chain; read by anyone.
extern std::atomic<int> g_bAccepting;

// Procedure of every connection thread. `chain` is the server's shared state,
// passed on unchanged to the next thread. Returns 0.
unsigned ConnectionThreadProc(void* chain);

// Stack of a connection thread: enough for the handling, small enough that a
// flood of connections keeps memory bounded.
inline constexpr std::size_t kConnectionStackBytes = 256 * 1024;
// A connection that sends or takes nothing for this long is closed.
inline constexpr int kIdleTimeoutMs = 30 * 1000;
// The request line and every header line must have arrived this long after
// the connection was accepted, or the connection is closed without an
// answer: a client that trickles bytes must not hold a thread for ever.
inline constexpr int kHeaderDeadlineMs = 30 * 1000;

// Seams for tests: observing the chain and changing its limits. Not for use
// while the product runs.
namespace server_testing {
using ThreadStarter = bool (*)(platform::ThreadProc, void*, std::size_t);
// Connections accepted and accept calls that failed, since the process started.
std::uint64_t AcceptedCount();
std::uint64_t AcceptFailureCount();
// Replaces the idle time-out of connections accepted from now on.
void SetIdleTimeoutMs(int milliseconds);
// Replaces the header deadline of connections accepted from now on.
void SetHeaderDeadlineMs(int milliseconds);
// Replaces the way connection threads are started (null: the normal way).
void SetThreadStarter(ThreadStarter starter);
}  // namespace server_testing
