// Running the process out of descriptors, the way the server's accept is
// made to fail in the tests.
#pragma once

namespace test {

// True where a process can lower its own limit of open descriptors (POSIX);
// Windows has no such limit on handles or sockets.
bool CanLimitDescriptors();
// Lowers the limit to none: no new descriptor can be had until
// AllowNewDescriptors. False when the limit cannot be lowered.
bool ForbidNewDescriptors();
// Puts back the limit that ForbidNewDescriptors found. False on failure.
bool AllowNewDescriptors();

}  // namespace test
