// Test client over the platform's loopback client sockets.
#include "server/loopback_client.h"

#include <chrono>

namespace test {

namespace {

using platform::LoopbackAddress;

// Every receive of the client gives up after this long without data.
constexpr std::chrono::milliseconds kReceiveLimit{20000};

}  // namespace

void LoopbackClient::Open(LoopbackAddress address, const char* source) {
  m_address = address;
  m_socket = platform::NewLoopbackClient(address, source);
  if (m_socket != platform::kNoSocket) {
    platform::SetSocketTimeouts(m_socket, static_cast<int>(kReceiveLimit.count()));
  }
}

LoopbackClient::LoopbackClient(Ipv6Loopback, std::uint16_t port) : m_port(port) {
  Open(LoopbackAddress::kIpv6, nullptr);
  Connect();
}

LoopbackClient::LoopbackClient(std::uint16_t port, const char* source, bool connect_now)
    : m_port(port) {
  Open(LoopbackAddress::kIpv4, source);
  if (connect_now) Connect();
}

bool LoopbackClient::Connect() {
  if (m_socket == platform::kNoSocket) return false;
  m_connected = platform::ConnectToLoopback(m_socket, m_address, m_port);
  return m_connected;
}

LoopbackClient::~LoopbackClient() { platform::CloseSocket(m_socket); }

bool LoopbackClient::Send(const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    long n = platform::SendBytes(m_socket, bytes.data() + sent, bytes.size() - sent, false);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

std::string LoopbackClient::ReadAll() {
  std::string received;
  char chunk[65536];
  for (;;) {
    long n = platform::ReceiveBytes(m_socket, chunk, sizeof chunk);
    if (n <= 0) break;
    received.append(chunk, static_cast<std::size_t>(n));
  }
  return received;
}

bool LoopbackClient::ClosedWithoutAnswer() {
  const auto start = std::chrono::steady_clock::now();
  char byte;
  const long n = platform::ReceiveBytes(m_socket, &byte, 1);
  // A receive fails for a reset or at the time-out; only the time-out takes
  // that long, and it means the server kept the connection open.
  return n == 0 || (n < 0 && std::chrono::steady_clock::now() - start < kReceiveLimit / 2);
}

bool HasIpv6Loopback() { return platform::CanBindLoopback(LoopbackAddress::kIpv6, 0); }

bool CanBindIpv6Loopback(std::uint16_t port) {
  return platform::CanBindLoopback(LoopbackAddress::kIpv6, port);
}

std::string Fetch(std::uint16_t port, const std::string& request) {
  LoopbackClient client(port);
  if (!client.connected() || !client.Send(request)) return "<no connection>";
  return client.ReadAll();
}

std::string GetRequest(const std::string& path, const std::string& extra_headers) {
  return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra_headers + "\r\n";
}

std::string BodyOf(const std::string& response) {
  std::size_t end = response.find("\r\n\r\n");
  return end == std::string::npos ? response : response.substr(end + 4);
}

std::string HeaderOf(const std::string& response, const std::string& name) {
  std::size_t end = response.find("\r\n\r\n");
  std::string head = response.substr(0, end);
  std::string key = "\r\n" + name + ": ";
  std::size_t at = head.find(key);
  if (at == std::string::npos) return "";
  std::size_t value = at + key.size();
  return head.substr(value, head.find("\r\n", value) - value);
}

std::string StatusOf(const std::string& response) {
  return response.substr(0, response.find("\r\n"));
}

}  // namespace test
