// Loopback servers for the update tests.
#include "update/test_servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "update/test_support.h"

namespace update_test {
namespace {

constexpr const char* kNginx = "/usr/sbin/nginx";
constexpr int kRedirectLevels = 8;

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// A listening socket on 127.0.0.1 and a free port; returns the socket.
int Listen(int backlog, int* port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address = Loopback(0);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd, backlog) != 0) {
    close(fd);
    return -1;
  }
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  *port = ntohs(address.sin_port);
  return fd;
}

bool CanConnect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(port);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return ok;
}

void SendAll(int fd, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

std::string NginxConfig(const std::string& prefix, const std::string& root, int port, bool tls,
                        bool slow_files) {
  std::ostringstream c;
  c << "daemon off;\nmaster_process on;\nworker_processes 1;\n";
  if (geteuid() == 0) c << "user root;\n";
  c << "pid " << prefix << "/nginx.pid;\nerror_log " << prefix << "/error.log warn;\n"
    << "events { worker_connections 64; }\nhttp {\n  access_log off;\n  sendfile on;\n"
    << "  default_type application/octet-stream;\n";
  for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"}) {
    c << "  " << temp << "_temp_path " << prefix << "/" << temp << ";\n";
  }
  c << "  server {\n    listen 127.0.0.1:" << port << (tls ? " ssl" : "") << ";\n";
  if (tls) {
    c << "    ssl_certificate " << prefix << "/cert.pem;\n    ssl_certificate_key " << prefix
      << "/key.pem;\n";
  }
  c << "    root " << root << ";\n    location /slow/ { alias " << root << "/; limit_rate 64k; }\n";
  if (slow_files) c << "    location /files/ { limit_rate 64k; }\n";
  for (int level = 1; level <= kRedirectLevels; ++level) {
    c << "    location /redirect/" << level << "/ { rewrite ^/redirect/" << level << "/(.*)$ /";
    if (level > 1) c << "redirect/" << level - 1 << "/";
    c << "$1 redirect; }\n";
  }
  c << "    location ~ ^/to-http/([0-9]+)/(.*)$ { return 302 http://127.0.0.1:$1/$2; }\n";
  c << "  }\n}\n";
  return c.str();
}

}  // namespace

NginxServer::NginxServer(const Options& options) {
  char pattern[] = "/tmp/quillory-nginx-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return;
  prefix_ = pattern;
  tls_ = options.tls;
  if (tls_ && RunProcess({"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                          "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", prefix_ + "/key.pem",
                          "-out", prefix_ + "/cert.pem", "-days", "1", "-subj", "/CN=127.0.0.1"},
                         "/dev/null") != 0) {
    return;
  }
  for (int attempt = 0; attempt < 5 && pid_ <= 0; ++attempt) {
    const int port = options.port != 0 ? options.port : UnusedPort();
    if (StartOnce(options, port)) port_ = port;
    if (options.port != 0) break;
  }
}

bool NginxServer::StartOnce(const Options& options, int port) {
  const std::string config = prefix_ + "/nginx.conf";
  WriteFile(config, NginxConfig(prefix_, options.root, port, options.tls, options.slow_files));
  const pid_t pid = SpawnProcess(
      {kNginx, "-p", prefix_, "-c", config, "-e", prefix_ + "/error.log"}, "/dev/null");
  if (pid <= 0) return false;
  bool exited = false;
  WaitFor([&] { return (exited = waitpid(pid, nullptr, WNOHANG) == pid) || CanConnect(port); }, 20);
  if (exited || !CanConnect(port)) {
    if (!exited) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    return false;
  }
  pid_ = pid;
  return true;
}

NginxServer::~NginxServer() {
  Stop();
  std::error_code error;
  if (!prefix_.empty()) std::filesystem::remove_all(prefix_, error);
}

void NginxServer::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

std::string NginxServer::Url() const {
  return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

ScriptedServer::ScriptedServer(Behaviour behaviour) : behaviour_(behaviour) {
  listener_ = Listen(16, &port_);
  thread_ = std::thread(&ScriptedServer::Serve, this);
}

ScriptedServer::~ScriptedServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stopped_.notify_all();
  thread_.join();
  close(listener_);
}

std::string ScriptedServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string ScriptedServer::last_request() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_.empty() ? std::string() : requests_.back();
}

std::vector<std::string> ScriptedServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

// Runs on the server's own thread.
void ScriptedServer::Serve() {
  while (!stopping_) {
    pollfd waiting{listener_, POLLIN, 0};
    if (poll(&waiting, 1, 50) <= 0) continue;
    const int connection = accept(listener_, nullptr, nullptr);
    if (connection < 0) continue;
    timeval timeout{0, 100 * 1000};
    setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    Answer(connection);
    close(connection);
  }
}

void ScriptedServer::Answer(int connection) {
  std::string request;
  char buffer[4096];
  // A client that connects without asking (a browser's spare connection) is
  // given up after a while, so it cannot hold up the others.
  for (int waited = 0; request.find("\r\n\r\n") == std::string::npos; waited += 50) {
    if (stopping_ || waited > 5000) return;
    pollfd readable{connection, POLLIN, 0};
    if (poll(&readable, 1, 50) <= 0) continue;
    const ssize_t n = recv(connection, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    request.append(buffer, static_cast<std::size_t>(n));
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
  }
  const std::string announced = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
  switch (behaviour_) {
    case Behaviour::kOk:
      SendAll(connection, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello");
      break;
    case Behaviour::kCutShort:
      SendAll(connection, announced + std::string(50000, 'x'));
      break;
    case Behaviour::kEndless: {
      SendAll(connection, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
      const std::string chunk(64 * 1024, 'y');
      while (!stopping_) {
        const ssize_t n = send(connection, chunk.data(), chunk.size(), MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) break;
      }
      break;
    }
    case Behaviour::kStall:
      SendAll(connection, announced + std::string(1000, 'z'));
      WaitForStop();
      break;
  }
}

void ScriptedServer::WaitForStop() {
  std::unique_lock<std::mutex> lock(mutex_);
  stopped_.wait(lock, [this] { return stopping_.load(); });
}

FullBacklogListener::FullBacklogListener() {
  listener_ = Listen(0, &port_);
  for (int i = 0; i < 16 && !full_; ++i) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    clients_.push_back(fd);
    sockaddr_in address = Loopback(port_);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) continue;
    pollfd done{fd, POLLOUT, 0};
    full_ = errno == EINPROGRESS && poll(&done, 1, 300) == 0;
  }
}

FullBacklogListener::~FullBacklogListener() {
  for (const int fd : clients_) close(fd);
  close(listener_);
}

std::string FullBacklogListener::Url() const { return "http://127.0.0.1:" + std::to_string(port_); }

int UnusedPort() {
  int port = 0;
  const int fd = Listen(1, &port);
  close(fd);
  return port;
}

}  // namespace update_test
