// Windows has no fork: a killed writer would be another program started for
// it, which these tests do without.
#include "platform/killed_writer.h"

namespace test {

bool CanKillWriters() { return false; }
bool KillWriterAfter(const std::function<bool(int)>&, int) { return false; }

}  // namespace test
