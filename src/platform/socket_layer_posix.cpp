// Socket layer preparation: SIGPIPE ignored process-wide.
#include "platform/socket_layer.h"

#include <csignal>
#include <cstdlib>
#include <cstring>

namespace platform {

bool InitSocketLayer() {
  const char* forced = std::getenv("QUILLORY_FAIL_SOCKET_INIT");
  if (forced != nullptr && std::strcmp(forced, "1") == 0) return false;
  return std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
}

}  // namespace platform
