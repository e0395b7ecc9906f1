// The file functions that minizip reads archives through: a buffered,
// seek-friendly reader instead of the C library's streams. Internal to the
// zip extraction.
#pragma once

#include <minizip/ioapi.h>

namespace platform {
class ArchiveFile;
}

// Where the functions leave the reader that minizip opened, so that stored
// entries can be copied straight from it. Cleared when minizip closes it.
struct OpenedArchiveFile {
  platform::ArchiveFile* file = nullptr;
  bool ever_opened = false;  // the file could be opened, whatever minizip made of it
};

// Functions for unzOpen2_64, which then takes a file-system name. Reading
// only. `opened` must outlive the archive.
zlib_filefunc64_def ArchiveFileFunctions(OpenedArchiveFile* opened);
