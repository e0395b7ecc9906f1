// Removal of the temporary files that writers of ended processes left
// behind. Internal to the platform layer: each writer names its own pattern
// and offers its own clean-up (file_writer.h, ini.h). Safe on any thread.
#pragma once

#include <optional>
#include <string>

namespace platform {

// A temporary file name: `prefix`, the writer's process id, `separator`, a
// counter, `suffix`; both numbers decimal without leading zeros.
struct TempNamePattern {
  std::string prefix;
  std::string separator;
  std::string suffix;
};

// The process id that `leaf` carries, or none when it does not follow the
// pattern exactly (or the id is out of range).
std::optional<long> TempNameOwner(const std::string& leaf, const TempNamePattern& pattern);

// Removes the regular files in `folder` (and in the folders below it, when
// `recursive`) whose names follow `pattern` and whose process no longer runs.
// Links inside `folder` are neither removed nor followed.
void RemoveFilesOfEndedProcesses(const std::string& folder, const TempNamePattern& pattern,
                                 bool recursive);

}  // namespace platform
