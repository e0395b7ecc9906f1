// Expected values that differ by platform (separators, line ends, what the
// file system allows): one row holds the value of each system, and the test
// reads the column of the system it runs on.
#pragma once

#include "platform/fs.h"

// True when built for Windows, told by the platform's separator.
inline bool OnWindows() { return platform::kPathSeparator == L'\\'; }

template <typename T>
struct PerPlatform {
  T posix;
  T windows;

  // The column of the system this program runs on.
  const T& Here() const { return OnWindows() ? windows : posix; }
};
