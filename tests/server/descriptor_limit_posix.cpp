// The limit of open descriptors through getrlimit and setrlimit.
#include <sys/resource.h>

#include "server/descriptor_limit.h"

namespace test {

namespace {
rlimit g_saved{};
}  // namespace

bool CanLimitDescriptors() { return true; }

bool ForbidNewDescriptors() {
  if (getrlimit(RLIMIT_NOFILE, &g_saved) != 0) return false;
  rlimit none = g_saved;
  none.rlim_cur = 0;
  return setrlimit(RLIMIT_NOFILE, &none) == 0;
}

bool AllowNewDescriptors() { return setrlimit(RLIMIT_NOFILE, &g_saved) == 0; }

}  // namespace test
