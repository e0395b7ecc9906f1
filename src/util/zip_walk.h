// The walk over an archive's entries that unpacks them, on both processor
// cores: entries are taken in archive order from minizip under one lock,
// their folders made, their data decoded and written to temporary files
// outside it, and the files are committed in archive order.
// Internal to the zip extraction.
#pragma once

#include <minizip/unzip.h>

#include <cstdint>
#include <string>

#include "util/outcome.h"

namespace platform {
class ArchiveFile;
}

// Unpacks the `count` entries of `archive`, which stands at its first entry
// and whose entries all passed the checks, into `target` (ending in a
// separator), reading their data from `file`, the reader under `archive`.
// Succeeds when every entry was unpacked; otherwise the reason names the
// first failing entry in archive order. After a failure nothing of the
// entries after the first failing one is left: their files are not
// committed, and the folders made only for them are removed again.
Outcome UnpackEntries(unzFile archive, std::uint64_t count, const std::wstring& target,
                      const platform::ArchiveFile& file);
