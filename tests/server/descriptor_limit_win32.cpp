// Windows gives a process no limit of handles that it could lower for
// itself, so the tests cannot run it out of them.
#include "server/descriptor_limit.h"

namespace test {

bool CanLimitDescriptors() { return false; }
bool ForbidNewDescriptors() { return false; }
bool AllowNewDescriptors() { return false; }

}  // namespace test
