// Socket layer preparation: Winsock 2.2 started for the process. A peer that
// closes early makes a send fail on Windows; there is no signal to ignore.
#include <winsock2.h>

#include <cstdlib>
#include <cstring>

#include "platform/socket_layer.h"

namespace platform {

bool InitSocketLayer() {
  const char* forced = std::getenv("QUILLORY_FAIL_SOCKET_INIT");
  if (forced != nullptr && std::strcmp(forced, "1") == 0) return false;
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  if (data.wVersion == MAKEWORD(2, 2)) return true;
  WSACleanup();
  return false;
}

}  // namespace platform
