// The walk over an archive's entries that unpacks them, on both processor
// cores: entries are taken in archive order from minizip under one lock,
// their folders made, their data decoded and written to temporary files
// outside it, and the files are committed in archive order.
// Internal to the zip extraction.
#pragma once

#include <minizip/unzip.h>

#include <cstdint>
#include <string>

namespace platform {
class ArchiveFile;
}

// Unpacks the `count` entries of `archive`, which stands at its first entry
// and whose entries all passed the checks, into `target` (ending in a
// separator), reading their data from `file`, the reader under `archive`.
// True when every entry was unpacked. After a failure nothing of the
// entries after the first failing one is left: their files are not
// committed, and the folders made only for them are removed again.
bool UnpackEntries(unzFile archive, std::uint64_t count, const std::wstring& target,
                   const platform::ArchiveFile& file);
