// The native handle of an open file, wide enough for every platform's kind:
// a descriptor on POSIX systems, a HANDLE on Windows.
#pragma once

#include <cstdint>

namespace platform {

using FileHandle = std::intptr_t;
// No file (-1 is also the value of Windows' INVALID_HANDLE_VALUE).
inline constexpr FileHandle kNoFile = -1;

}  // namespace platform
