// Loopback servers for the update tests.
#include "update/test_servers.h"

#include <filesystem>
#include <sstream>

#include "update/test_sockets.h"
#include "update/test_support.h"

namespace update_test {
namespace {

constexpr const char* kNginx = "/usr/sbin/nginx";
constexpr int kRedirectLevels = 8;

void SendAll(TestSocket socket, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const long n = SendSome(socket, bytes.data() + sent, bytes.size() - sent);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

// Paths in the configuration are nginx's, a Linux program's.
std::string NginxConfig(const std::string& prefix, const std::string& root, int port, bool tls,
                        bool slow_files) {
  std::ostringstream c;
  c << "daemon off;\nmaster_process on;\nworker_processes 1;\n";
  // Workers as root, who owns the test files; nginx ignores this when not run as root.
  c << "user root;\n";
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

NginxServer::NginxServer(const Options& options) : prefix_folder_(new TempFolder()) {
  prefix_ = prefix_folder_->path();
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
  const std::string prefix = LinuxPath(prefix_);
  WriteFile(config,
            NginxConfig(prefix, LinuxPath(options.root), port, options.tls, options.slow_files));
  const ProcessId pid = SpawnProcess(
      {kNginx, "-p", prefix, "-c", prefix + "/nginx.conf", "-e", prefix + "/error.log"},
      "/dev/null");
  if (pid == kNoProcess) return false;
  bool exited = false;
  WaitFor([&] { return (exited = HasExited(pid)) || CanConnect(port); }, 20);
  if (exited || !CanConnect(port)) {
    if (!exited) KillProcess(pid);
    return false;
  }
  pid_ = pid;
  return true;
}

NginxServer::~NginxServer() { Stop(); }

void NginxServer::Stop() {
  if (pid_ == kNoProcess) return;
  StopProcess(pid_);
  pid_ = kNoProcess;
}

std::string NginxServer::Url() const {
  return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

ScriptedServer::ScriptedServer(Behaviour behaviour) : behaviour_(behaviour) {
  listener_ = ListenOnLoopback(16, &port_);
  thread_ = std::thread(&ScriptedServer::Serve, this);
}

ScriptedServer::~ScriptedServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stopped_.notify_all();
  thread_.join();
  CloseTestSocket(listener_);
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
    const TestSocket connection = AcceptWithin(listener_, 50);
    if (connection == kNoTestSocket) continue;
    SetSendTimeout(connection, 100);
    Answer(connection);
    CloseTestSocket(connection);
  }
}

void ScriptedServer::Answer(TestSocket connection) {
  std::string request;
  char buffer[4096];
  // A client that connects without asking (a browser's spare connection) is
  // given up after a while, so it cannot hold up the others.
  for (int waited = 0; request.find("\r\n\r\n") == std::string::npos; waited += 50) {
    if (stopping_ || waited > 5000) return;
    if (!ReadableWithin(connection, 50)) continue;
    const long n = ReceiveSome(connection, buffer, sizeof buffer);
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
        if (SendSome(connection, chunk.data(), chunk.size()) < 0) break;
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
  listener_ = ListenOnLoopback(0, &port_);
  for (int i = 0; i < 16 && !full_; ++i) {
    TestSocket client = kNoTestSocket;
    full_ = ConnectStaysPending(port_, 300, &client);
    clients_.push_back(client);
  }
}

FullBacklogListener::~FullBacklogListener() {
  for (const TestSocket client : clients_) CloseTestSocket(client);
  CloseTestSocket(listener_);
}

std::string FullBacklogListener::Url() const { return "http://127.0.0.1:" + std::to_string(port_); }

int UnusedPort() {
  int port = 0;
  CloseTestSocket(ListenOnLoopback(1, &port));
  return port;
}

}  // namespace update_test
