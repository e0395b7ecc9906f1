// StartServer, StopServer and the chain of connection threads.
#include "server/listener.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "platform/socket.h"
#include "server/block_socket.h"
#include "server/content_store.h"
#include "server/request_handler.h"
#include "server/server.h"
#include "server/thread_cache.h"
#include "shell/shared_values.h"

std::atomic<int> g_bAccepting{0};

namespace {

std::atomic<int> s_idle_timeout_ms{kIdleTimeoutMs};

// Gives both listeners the idle time-out; returns it, or -1 on failure.
int SetListenerTimeouts(const platform::LoopbackListeners& listeners, int idle_ms) {
  bool set = platform::SetSocketTimeouts(listeners.ipv4, idle_ms) &&
             (listeners.ipv6 == platform::kNoSocket ||
              platform::SetSocketTimeouts(listeners.ipv6, idle_ms));
  return set ? idle_ms : -1;
}

// Shared by StartServer, StopServer and every connection thread of one
// server; freed when the last of them lets go.
struct ServerChain {
  ServerChain(const platform::LoopbackListeners& sockets, ContentRoot content)
      : listeners{sockets.ipv4, sockets.ipv6},
        listener_count(sockets.ipv6 == platform::kNoSocket ? 1 : 2),
        root(std::move(content)),
        listener_idle_ms(SetListenerTimeouts(sockets, s_idle_timeout_ms.load())) {}

  // 127.0.0.1 first, then [::1] when the machine has it.
  const platform::SocketHandle listeners[2];
  const std::size_t listener_count;
  const ContentRoot root;
  // The idle time-out that accepted connections take over from the
  // listeners, sparing two calls per connection; -1 when none could be set.
  const int listener_idle_ms;
  std::mutex mutex;
  std::condition_variable changed;
  bool stopping = false;  // StopServer has begun
  // Threads that may touch the listeners: StopServer closes them only when
  // none is left. The first thread counts from the start.
  int in_accept = 1;
  // Those of them that wait for the next connection. While the server runs
  // there is at least one, so that a new connection never waits for another
  // to be served.
  int waiting = 1;
  std::atomic<int> references{1};
};

// Threads beyond this many that would wait for a connection end instead
// (into the thread cache): every waiting thread wakes for every connection.
constexpr int kMostWaiting = 2;
constexpr auto kFirstBackOff = std::chrono::milliseconds(10);
constexpr auto kLongestBackOff = std::chrono::milliseconds(1000);
// StopServer waits this long at most for the threads to leave the listeners.
constexpr auto kStopWait = std::chrono::seconds(10);

ServerChain* s_chain = nullptr;  // main thread only
int s_threads_left_at_stop = 0;  // main thread only
std::atomic<std::uint64_t> s_accepted{0};
std::atomic<std::uint64_t> s_accept_failures{0};
std::atomic<int> s_header_deadline_ms{kHeaderDeadlineMs};
std::atomic<server_testing::ThreadStarter> s_thread_starter{nullptr};

void Release(ServerChain* chain) {
  if (chain->references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete chain;
}

// Starts another connection thread, counted as waiting already.
bool StartNextThread(ServerChain* chain) {
  chain->references.fetch_add(1, std::memory_order_relaxed);
  server_testing::ThreadStarter starter = s_thread_starter.load();
  if (starter == nullptr) starter = StartCachedThread;
  if (starter(ConnectionThreadProc, chain, kConnectionStackBytes)) return true;
  chain->references.fetch_sub(1, std::memory_order_relaxed);
  return false;
}

// A waiting thread that has taken a connection stops waiting; when it was
// the last one, a new thread takes its place. Without a new thread the
// connection is still served, and its thread waits again afterwards.
void StopWaiting(ServerChain& chain) {
  bool replace = false;
  {
    std::lock_guard<std::mutex> lock(chain.mutex);
    --chain.waiting;
    --chain.in_accept;
    replace = chain.waiting == 0 && !chain.stopping;
    if (replace) {  // the new thread's place
      ++chain.waiting;
      ++chain.in_accept;
    }
  }
  if (!replace || StartNextThread(&chain)) return;
  std::lock_guard<std::mutex> lock(chain.mutex);
  --chain.waiting;
  --chain.in_accept;
  chain.changed.notify_all();
}

// Leaves the waiting threads and the listeners for good.
void LeaveLocked(ServerChain& chain) {
  --chain.waiting;
  --chain.in_accept;
  if (chain.stopping) g_bAccepting = 0;
  chain.changed.notify_all();
}

// After a failed accept: false when the server is stopping (the thread then
// ends), otherwise true once it is time to try again.
bool WaitBeforeRetry(ServerChain& chain, platform::AcceptStatus status,
                     std::chrono::milliseconds* back_off) {
  std::unique_lock<std::mutex> lock(chain.mutex);
  if (!chain.stopping && status != platform::AcceptStatus::kRetry) {
    chain.changed.wait_for(lock, *back_off, [&] { return chain.stopping; });
    *back_off = std::min(*back_off * 2, kLongestBackOff);
  }
  if (!chain.stopping) return true;
  LeaveLocked(chain);
  return false;
}

struct Accepted {
  CMyHttpBlockSocket socket;
  bool peer_is_local = false;
};

platform::AcceptStatus Accept(ServerChain& chain, Accepted* connection, platform::AcceptWait wait) {
  platform::AcceptStatus status =
      platform::AcceptConnection(chain.listeners, chain.listener_count,
                                 &connection->socket.m_hSocket, &connection->peer_is_local, wait);
  if (status == platform::AcceptStatus::kAccepted) {
    s_accepted.fetch_add(1, std::memory_order_relaxed);
    connection->socket.SetLineDeadline(std::chrono::steady_clock::now() +
                                       std::chrono::milliseconds(s_header_deadline_ms.load()));
  } else if (status != platform::AcceptStatus::kNoneQueued) {
    s_accept_failures.fetch_add(1, std::memory_order_relaxed);
  }
  return status;
}

enum class Next { kServe, kWait, kEnd };

// After serving: takes a connection that is queued already, so that a busy
// server passes connections on without waking a thread; otherwise the thread
// waits with the others, or ends when enough of them wait.
Next AfterServing(ServerChain& chain, Accepted* connection) {
  {
    std::lock_guard<std::mutex> lock(chain.mutex);
    if (chain.stopping) return Next::kEnd;
    ++chain.in_accept;
  }
  platform::AcceptStatus status = Accept(chain, connection, platform::AcceptWait::kNever);
  std::lock_guard<std::mutex> lock(chain.mutex);
  if (status == platform::AcceptStatus::kAccepted) {
    --chain.in_accept;
    return Next::kServe;
  }
  if (chain.stopping || chain.waiting >= kMostWaiting) {
    --chain.in_accept;
    chain.changed.notify_all();
    return Next::kEnd;
  }
  ++chain.waiting;
  return Next::kWait;
}

void ServeConnection(Accepted& connection, const ServerChain& chain) {
  CMyHttpBlockSocket& socket = connection.socket;
  try {
    const int idle_ms = s_idle_timeout_ms.load();
    if (idle_ms != chain.listener_idle_ms) platform::SetSocketTimeouts(socket.m_hSocket, idle_ms);
    HandleConnection(socket, connection.peer_is_local, chain.root);
  } catch (...) {
    // Out of memory while answering: the connection ends without an answer.
  }
  platform::CloseSocket(socket.m_hSocket);
  socket.m_hSocket = platform::kNoSocket;
}

// Waits for connections and serves them until the thread is not needed.
void RunConnectionThread(ServerChain& chain) {
  auto back_off = std::chrono::milliseconds(kFirstBackOff);
  for (;;) {
    Accepted connection;
    platform::AcceptStatus status =
        Accept(chain, &connection, platform::AcceptWait::kUntilConnection);
    if (status != platform::AcceptStatus::kAccepted) {
      if (!WaitBeforeRetry(chain, status, &back_off)) return;
      continue;
    }
    back_off = kFirstBackOff;
    StopWaiting(chain);
    Next next = Next::kServe;
    while (next == Next::kServe) {
      ServeConnection(connection, chain);
      connection = Accepted{};
      next = AfterServing(chain, &connection);
    }
    if (next == Next::kEnd) return;
  }
}

void CloseListeners(const platform::LoopbackListeners& listeners) {
  platform::CloseSocket(listeners.ipv4);
  platform::CloseSocket(listeners.ipv6);
}

}  // namespace

unsigned ConnectionThreadProc(void* chain) {
  auto* server_chain = static_cast<ServerChain*>(chain);
  RunConnectionThread(*server_chain);
  Release(server_chain);
  return 0;
}

long StartServer() {
  if (s_chain != nullptr) return E_FAIL;
  platform::IgnoreBrokenPipe();
  platform::LoopbackListeners listeners;
  if (!platform::ListenOnLoopback(&listeners)) return E_FAIL;
  ServerChain* chain = nullptr;
  try {
    chain = new ServerChain(listeners, CurrentContentRoot());
    g_strPort = std::to_wstring(listeners.port);
  } catch (...) {
    delete chain;
    CloseListeners(listeners);
    return E_FAIL;
  }
  g_sockListen = listeners.ipv4;
  g_bAccepting = 1;
  if (!StartNextThread(chain)) {
    g_bAccepting = 0;
    g_sockListen = 0;
    CloseListeners(listeners);
    Release(chain);
    return E_FAIL;
  }
  s_chain = chain;
  return 0;
}

long StopServer() {
  ServerChain* chain = s_chain;
  if (chain != nullptr) {
    {
      std::unique_lock<std::mutex> lock(chain->mutex);
      chain->stopping = true;
      for (std::size_t i = 0; i < chain->listener_count; ++i) {
        platform::ShutdownListener(chain->listeners[i]);
      }
      chain->changed.notify_all();
      chain->changed.wait_for(lock, kStopWait, [&] { return chain->in_accept == 0; });
      s_threads_left_at_stop = chain->in_accept;
    }
    for (std::size_t i = 0; i < chain->listener_count; ++i) {
      platform::CloseSocket(chain->listeners[i]);
    }
    s_chain = nullptr;
    Release(chain);
  }
  g_sockListen = 0;
  g_bAccepting = 0;
  return 0;
}

namespace server_testing {

std::uint64_t AcceptedCount() { return s_accepted.load(); }
std::uint64_t AcceptFailureCount() { return s_accept_failures.load(); }
int WaitingThreadCount() {
  if (s_chain == nullptr) return 0;
  std::lock_guard<std::mutex> lock(s_chain->mutex);
  return s_chain->waiting;
}
int ThreadsLeftAtLastStop() { return s_threads_left_at_stop; }
void SetIdleTimeoutMs(int milliseconds) { s_idle_timeout_ms = milliseconds; }
void SetHeaderDeadlineMs(int milliseconds) { s_header_deadline_ms = milliseconds; }
void SetThreadStarter(ThreadStarter starter) { s_thread_starter = starter; }

}  // namespace server_testing
