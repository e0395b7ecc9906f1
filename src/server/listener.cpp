// StartServer, StopServer and the chain of connection threads.
#include "server/listener.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "app/shared_values.h"
#include "platform/socket.h"
#include "server/block_socket.h"
#include "server/content_store.h"
#include "server/request_handler.h"
#include "server/server.h"
#include "server/thread_cache.h"

std::atomic<int> g_bAccepting{0};

namespace {

// Shared by StartServer, StopServer and every thread of one chain; freed
// when the last of them lets go.
struct ServerChain {
  ServerChain(const platform::LoopbackListeners& sockets, ContentRoot content)
      : listeners{sockets.ipv4, sockets.ipv6},
        listener_count(sockets.ipv6 == platform::kNoSocket ? 1 : 2),
        root(std::move(content)) {}

  // 127.0.0.1 first, then [::1] when the machine has it.
  const platform::SocketHandle listeners[2];
  const std::size_t listener_count;
  const ContentRoot root;
  std::mutex mutex;
  std::condition_variable changed;
  bool stopping = false;         // StopServer has begun
  bool acceptor_present = true;  // a thread holds the right to accept
  std::atomic<int> references{1};
};

constexpr auto kFirstBackOff = std::chrono::milliseconds(10);
constexpr auto kLongestBackOff = std::chrono::milliseconds(1000);
// StopServer waits this long at most for the accepting thread to leave.
constexpr auto kStopWait = std::chrono::seconds(10);

ServerChain* s_chain = nullptr;  // main thread only
std::atomic<std::uint64_t> s_accepted{0};
std::atomic<std::uint64_t> s_accept_failures{0};
std::atomic<int> s_idle_timeout_ms{kIdleTimeoutMs};
std::atomic<int> s_header_deadline_ms{kHeaderDeadlineMs};
std::atomic<server_testing::ThreadStarter> s_thread_starter{nullptr};

void Release(ServerChain* chain) {
  if (chain->references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete chain;
}

// Starts the next thread of the chain, which takes over the right to accept.
bool StartNextThread(ServerChain* chain) {
  chain->references.fetch_add(1, std::memory_order_relaxed);
  server_testing::ThreadStarter starter = s_thread_starter.load();
  if (starter == nullptr) starter = StartCachedThread;
  if (starter(ConnectionThreadProc, chain, kConnectionStackBytes)) return true;
  chain->references.fetch_sub(1, std::memory_order_relaxed);
  return false;
}

// Gives up the right to accept; with `end_chain` the chain is over.
void LeaveAcceptRole(ServerChain& chain, bool end_chain) {
  std::lock_guard<std::mutex> lock(chain.mutex);
  if (end_chain) g_bAccepting = 0;
  chain.acceptor_present = false;
  chain.changed.notify_all();
}

// Takes the right to accept back after serving a connection while no
// thread could be started. False when the server is stopping.
bool ReturnToAcceptRole(ServerChain& chain) {
  std::lock_guard<std::mutex> lock(chain.mutex);
  if (chain.stopping || chain.acceptor_present) return false;
  chain.acceptor_present = true;
  return true;
}

// After a failed accept: false when the server is stopping (the chain then
// ends), otherwise true once it is time to try again.
bool WaitBeforeRetry(ServerChain& chain, platform::AcceptStatus status,
                     std::chrono::milliseconds* back_off) {
  std::unique_lock<std::mutex> lock(chain.mutex);
  if (!chain.stopping && status != platform::AcceptStatus::kRetry) {
    chain.changed.wait_for(lock, *back_off, [&] { return chain.stopping; });
    *back_off = std::min(*back_off * 2, kLongestBackOff);
  }
  if (!chain.stopping) return true;
  g_bAccepting = 0;
  chain.acceptor_present = false;
  chain.changed.notify_all();
  return false;
}

void ServeConnection(CMyHttpBlockSocket& socket, bool peer_is_local, const ContentRoot& root) {
  try {
    platform::SetSocketTimeouts(socket.m_hSocket, s_idle_timeout_ms.load());
    HandleConnection(socket, peer_is_local, root);
  } catch (...) {
    // Out of memory while answering: the connection ends without an answer.
  }
  platform::CloseSocket(socket.m_hSocket);
  socket.m_hSocket = platform::kNoSocket;
}

bool IsStopping(ServerChain& chain) {
  std::lock_guard<std::mutex> lock(chain.mutex);
  return chain.stopping;
}

void RunChainLink(ServerChain& chain) {
  if (IsStopping(chain)) return LeaveAcceptRole(chain, true);
  auto back_off = std::chrono::milliseconds(kFirstBackOff);
  for (;;) {
    CMyHttpBlockSocket socket;
    bool peer_is_local = false;
    platform::AcceptStatus status = platform::AcceptConnection(
        chain.listeners, chain.listener_count, &socket.m_hSocket, &peer_is_local);
    if (status != platform::AcceptStatus::kAccepted) {
      s_accept_failures.fetch_add(1, std::memory_order_relaxed);
      if (!WaitBeforeRetry(chain, status, &back_off)) return;
      continue;
    }
    s_accepted.fetch_add(1, std::memory_order_relaxed);
    socket.SetLineDeadline(std::chrono::steady_clock::now() +
                           std::chrono::milliseconds(s_header_deadline_ms.load()));
    if (StartNextThread(&chain)) return ServeConnection(socket, peer_is_local, chain.root);
    // No thread could be started: serve this connection here, then go back
    // to accepting, so the chain lives on.
    LeaveAcceptRole(chain, false);
    ServeConnection(socket, peer_is_local, chain.root);
    if (!ReturnToAcceptRole(chain)) return;
    back_off = kFirstBackOff;
  }
}

void CloseListeners(const platform::LoopbackListeners& listeners) {
  platform::CloseSocket(listeners.ipv4);
  platform::CloseSocket(listeners.ipv6);
}

}  // namespace

unsigned ConnectionThreadProc(void* chain) {
  auto* server_chain = static_cast<ServerChain*>(chain);
  RunChainLink(*server_chain);
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
      chain->changed.wait_for(lock, kStopWait, [&] { return !chain->acceptor_present; });
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
void SetIdleTimeoutMs(int milliseconds) { s_idle_timeout_ms = milliseconds; }
void SetHeaderDeadlineMs(int milliseconds) { s_header_deadline_ms = milliseconds; }
void SetThreadStarter(ThreadStarter starter) { s_thread_starter = starter; }

}  // namespace server_testing
