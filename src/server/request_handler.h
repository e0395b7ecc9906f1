// Answering the one request of a connection. Runs on the connection's own
// thread; returns when the connection should be closed.
#pragma once

#include <cstdint>

#include "server/block_socket.h"
#include "server/content_store.h"

// Reads the request on `socket` and answers it:
// - no answer for peers other than 127.0.0.1, request lines with fewer than
//   two spaces, methods other than GET and POST, a Host header naming another
//   machine, and GET paths holding "?";
// - the default answer for GET "/" and "/custom";
// - the file's bytes (unscrambled outside developer mode, except ".xml"),
//   whole or the asked range, for a GET of a content file;
// - the fixed response for a missing file, a path with a ".." segment, and
//   every POST.
void HandleConnection(CMyHttpBlockSocket& socket, std::uint32_t peer_ipv4, const ContentRoot& root);
