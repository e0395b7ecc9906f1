// Servers on 127.0.0.1 for the update tests: nginx as the real update server,
// and small scripted servers for faults nginx cannot produce.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "update/test_sockets.h"
#include "update/test_support.h"

namespace update_test {

// nginx in the foreground with a configuration of its own in a temporary
// folder. Besides the files under `root` it serves:
//   /slow/...           the files under `root` at about 64 KB/s
//   /redirect/N/...     N redirects, then the same path under /
//   /to-http/PORT/...   a redirect to the same path under / of http://127.0.0.1:PORT
class NginxServer {
 public:
  struct Options {
    std::string root;         // document root
    int port = 0;             // 0: a free port
    bool tls = false;         // serve https with a self-signed certificate
    bool slow_files = false;  // /files/ too is served slowly
  };
  explicit NginxServer(const Options& options);
  ~NginxServer();
  NginxServer(const NginxServer&) = delete;
  NginxServer& operator=(const NginxServer&) = delete;

  bool running() const { return pid_ != kNoProcess; }
  int port() const { return port_; }
  // "http://127.0.0.1:PORT" (https with tls).
  std::string Url() const;
  // The self-signed certificate of a TLS server, for its clients to trust.
  std::string CertificateFile() const { return prefix_ + "/cert.pem"; }
  void Stop();

 private:
  bool StartOnce(const Options& options, int port);
  std::unique_ptr<TempFolder> prefix_folder_;  // nginx's own files
  std::string prefix_;
  ProcessId pid_ = kNoProcess;
  int port_ = 0;
  bool tls_ = false;
};

// One scripted answer per connection, on its own thread.
class ScriptedServer {
 public:
  enum class Behaviour {
    kOk,        // 200 with the body "hello"
    kCutShort,  // announces 100000 bytes, sends half, closes
    kEndless,   // 200 without a length, sends until the client goes away
    kStall,     // announces 100000 bytes, sends 1000, then nothing until stopped
  };
  explicit ScriptedServer(Behaviour behaviour);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  std::string Url(const std::string& path) const;
  // The head of the last request received ("" when none).
  std::string last_request() const;
  // The heads of every request received, in order.
  std::vector<std::string> requests() const;

 private:
  void Serve();
  void Answer(TestSocket connection);
  void WaitForStop();
  Behaviour behaviour_;
  TestSocket listener_ = kNoTestSocket;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// Names the behaviour in test names and messages.
inline void PrintTo(ScriptedServer::Behaviour behaviour, std::ostream* out) {
  static const char* const kNames[] = {"Ok", "CutShort", "Endless", "Stall"};
  *out << kNames[static_cast<int>(behaviour)];
}

// A listener whose accept queue is full and never drained: connecting to it
// hangs until the client gives up.
class FullBacklogListener {
 public:
  FullBacklogListener();
  ~FullBacklogListener();
  // False when the queue could not be filled on this system.
  bool full() const { return full_; }
  std::string Url() const;

 private:
  TestSocket listener_ = kNoTestSocket;
  int port_ = 0;
  bool full_ = false;
  std::vector<TestSocket> clients_;
};

// A port on 127.0.0.1 that nothing listens on (at the moment of the call).
int UnusedPort();

}  // namespace update_test
