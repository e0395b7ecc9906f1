// Test client over POSIX sockets.
#include "server/loopback_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace test {

namespace {

sockaddr_in LoopbackAddress(const char* dotted, std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  inet_pton(AF_INET, dotted, &address.sin_addr);
  return address;
}

sockaddr_in6 Ipv6LoopbackAddress(std::uint16_t port) {
  sockaddr_in6 address{};
  address.sin6_family = AF_INET6;
  address.sin6_port = htons(port);
  address.sin6_addr = in6addr_loopback;
  return address;
}

// Binds a fresh IPv6 socket to [::1]:`port` and closes it again.
bool TryBindIpv6Loopback(std::uint16_t port) {
  int fd = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in6 address = Ipv6LoopbackAddress(port);
  bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return bound;
}

}  // namespace

void LoopbackClient::Open(int family) {
  m_family = family;
  m_fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_fd < 0) return;
  timeval limit{20, 0};
  setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

LoopbackClient::LoopbackClient(Ipv6Loopback, std::uint16_t port) : m_port(port) {
  Open(AF_INET6);
  Connect();
}

LoopbackClient::LoopbackClient(std::uint16_t port, const char* source, bool connect_now)
    : m_port(port) {
  Open(AF_INET);
  if (m_fd < 0) return;
  if (source != nullptr) {
    sockaddr_in from = LoopbackAddress(source, 0);
    if (bind(m_fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
      close(m_fd);
      m_fd = -1;
      return;
    }
  }
  if (connect_now) Connect();
}

bool LoopbackClient::Connect() {
  if (m_fd < 0) return false;
  if (m_family == AF_INET6) {
    sockaddr_in6 to = Ipv6LoopbackAddress(m_port);
    m_connected = connect(m_fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
  } else {
    sockaddr_in to = LoopbackAddress("127.0.0.1", m_port);
    m_connected = connect(m_fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
  }
  return m_connected;
}

LoopbackClient::~LoopbackClient() {
  if (m_fd >= 0) close(m_fd);
}

bool LoopbackClient::Send(const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

std::string LoopbackClient::ReadAll() {
  std::string received;
  char chunk[65536];
  for (;;) {
    ssize_t n = recv(m_fd, chunk, sizeof chunk, 0);
    if (n <= 0) break;
    received.append(chunk, static_cast<std::size_t>(n));
  }
  return received;
}

bool LoopbackClient::ClosedWithoutAnswer() {
  char byte;
  ssize_t n = recv(m_fd, &byte, 1, 0);
  return n == 0 || (n < 0 && errno == ECONNRESET);
}

bool HasIpv6Loopback() { return TryBindIpv6Loopback(0); }

bool CanBindIpv6Loopback(std::uint16_t port) { return TryBindIpv6Loopback(port); }

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
