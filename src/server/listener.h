// The listener's connection threads. A few threads wait for the next
// connection at once; the one that takes it serves it itself, and when it
// was the last one waiting, a new thread starts waiting first. A thread that
// has served its connection takes the next one already queued, or waits
// again, or ends when enough threads wait. Server-internal; StartServer and
// StopServer (server.h) drive it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/thread_start.h"

// True while the server accepts connections. Written by StartServer,
// StopServer and the threads that leave when it stops; read by anyone.
extern std::atomic<bool> g_bAccepting;

// Procedure of every connection thread. `chain` is the server's shared state,
// passed on unchanged to the threads it starts. Returns 0.
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
// Threads of the running server that wait for a connection (0 without one).
int WaitingThreadCount();
// Threads that still could touch the listeners when the last StopServer
// closed them (it waits for every one to leave).
int ThreadsLeftAtLastStop();
// Replaces the idle time-out of connections accepted from now on.
void SetIdleTimeoutMs(int milliseconds);
// Replaces the header deadline of connections accepted from now on.
void SetHeaderDeadlineMs(int milliseconds);
// Replaces the way connection threads are started (null: the normal way).
void SetThreadStarter(ThreadStarter starter);
}  // namespace server_testing
