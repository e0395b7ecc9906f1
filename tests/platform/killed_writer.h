// A writer stopped at a random point by killing its process, for the tests
// of writes that must never leave a file half made.
#pragma once

#include <functional>

namespace test {

// True where a test can copy its process and kill the copy (POSIX fork);
// Windows starts no copy of a running process.
bool CanKillWriters();
// Runs write(1), write(2), ... in a copy of this process until the copy is
// killed, which happens once `writes` of them have returned true. True when
// the copy made those writes and then ended by the kill; a write that
// returns false ends the copy early (a failure).
bool KillWriterAfter(const std::function<bool(int)>& write, int writes);

}  // namespace test
