// A plain TCP client for the server tests: connects to 127.0.0.1 (optionally
// from another loopback source address) or to [::1], sends raw bytes and
// reads until the server closes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/socket.h"

namespace test {

// Selects the IPv6 loopback address [::1] in LoopbackClient's constructor.
struct Ipv6Loopback {};

// A connected client socket, closed by the destructor.
class LoopbackClient {
 public:
  // Connects to [::1]:`port`.
  LoopbackClient(Ipv6Loopback, std::uint16_t port);
  // Connects to 127.0.0.1:`port`, binding the client side to `source` first
  // when it is given (for example "127.0.0.2"). Without `connect_now` only
  // the socket is made; Connect connects it later.
  explicit LoopbackClient(std::uint16_t port, const char* source = nullptr,
                          bool connect_now = true);
  ~LoopbackClient();
  LoopbackClient(const LoopbackClient&) = delete;
  LoopbackClient& operator=(const LoopbackClient&) = delete;

  bool Connect();
  bool connected() const { return m_connected; }
  bool Send(const std::string& bytes);
  // Everything the server sends until it closes (or 20 s pass without data).
  std::string ReadAll();
  // True when the server closed without sending anything (end of stream or
  // a reset), within 20 s.
  bool ClosedWithoutAnswer();
  platform::SocketHandle handle() const { return m_socket; }

 private:
  void Open(platform::LoopbackAddress address, const char* source);

  platform::SocketHandle m_socket = platform::kNoSocket;
  platform::LoopbackAddress m_address;
  std::uint16_t m_port;
  bool m_connected = false;
};

// True when this machine has the IPv6 loopback address.
bool HasIpv6Loopback();
// True when a socket can be bound to [::1]:`port` now (nobody listens there).
bool CanBindIpv6Loopback(std::uint16_t port);

// One request on its own connection; returns everything answered.
std::string Fetch(std::uint16_t port, const std::string& request);
// "GET path HTTP/1.1" with a Host header of 127.0.0.1 and an end of headers.
std::string GetRequest(const std::string& path, const std::string& extra_headers = "");

// The body of an HTTP response (after the empty line); the whole text when
// there is no header block.
std::string BodyOf(const std::string& response);
// The value of a header of a response, or "" when it is missing.
std::string HeaderOf(const std::string& response, const std::string& name);
// The status line of a response, without its CR LF.
std::string StatusOf(const std::string& response);

}  // namespace test
