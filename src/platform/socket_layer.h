// The process-wide preparation of the socket layer, run once at start.
#pragma once

namespace platform {

// Makes sockets usable for this process: a peer that closes early must not
// end the process with SIGPIPE; on Windows, Winsock 2.2 is started. False
// when the layer cannot be used; setting the environment variable
// QUILLORY_FAIL_SOCKET_INIT=1 forces this failure (the way tests reach the
// start's failure path).
bool InitSocketLayer();

}  // namespace platform
