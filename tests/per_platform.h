// Expected values that differ by platform (separators, line ends, what the
// file system allows): one row holds the value of each system, and the test
// reads the column of the system it runs on.
#pragma once

#include "platform/fs.h"

template <typename T>
struct PerPlatform {
  T posix;
  T windows;

  // The column of the system this program runs on, told by its separator.
  const T& Here() const { return platform::kPathSeparator == L'\\' ? windows : posix; }
};
