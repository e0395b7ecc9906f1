// The local content server: listeners on 127.0.0.1 and [::1] with one thread per
// connection. StartServer and StopServer are called on the main thread.
#pragma once

#include <cstdint>

#include "platform/socket.h"
#include "server/content_store.h"
#include "util/outcome.h"

// Result of a failed StartServer.
inline constexpr long E_FAIL = 0x80004005L;

// What StartServer gives back: the listening socket and port, or why there
// are none.
struct [[nodiscard]] ServerStart {
  Outcome outcome = Outcome::Success();
  platform::SocketHandle listener = platform::kNoSocket;  // the 127.0.0.1 one
  std::uint16_t port = 0;

  // 0 on success, E_FAIL otherwise: the result the host window acts on.
  long Result() const { return outcome.ok() ? 0 : E_FAIL; }
};

// Starts listening on a system-chosen port, the same on 127.0.0.1 and on
// [::1] (where the machine has IPv6), and serves the files of `root`. On
// failure the sockets are closed again and the outcome says why ("already
// running", "listen: ...", "no free port on 127.0.0.1 and [::1]").
ServerStart StartServer(const ContentRoot& root);
// Stops accepting connections on both addresses; connections already
// accepted finish. Always 0.
long StopServer();
