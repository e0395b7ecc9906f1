// Answering the one request of a connection. Runs on the connection's own
// thread; returns when the connection should be closed.
#pragma once

#include "server/block_socket.h"
#include "server/content_store.h"

// Reads the request on `socket` and answers it; `peer_is_local` tells that the
// peer's address is 127.0.0.1 or ::1 (the two addresses of "localhost"):
// - no answer for other peers, request lines with fewer than
//   two spaces, methods other than GET and POST, a Host header naming another
//   machine, and GET paths holding "?";
// - the default answer for GET "/" and "/custom";
// - the file's bytes (unscrambled outside developer mode, except ".xml"),
//   whole or the asked range, for a GET of a content file;
// - the fixed response for a missing file, a path with a ".." segment, and
//   every POST.
void HandleConnection(CMyHttpBlockSocket& socket, bool peer_is_local, const ContentRoot& root);
