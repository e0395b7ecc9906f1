// Zip extraction for content packages and update packages. Safe on any thread
// (each call unpacks on a second thread of its own as well); two calls
// unpacking into the same folder may replace each other's files.
#pragma once

#include <string>

#include "util/outcome.h"

// Unpacks every entry of the archive at `archive_path` into `target_folder`
// (which must exist), in central-directory order, creating sub-folders along
// the way. Succeeds only when the archive could be opened and every entry
// was unpacked; files unpacked before a failure stay, and nothing of the
// later entries is left (neither files nor the folders made for them).
// Nothing is written through a link found in the place of one of an entry's
// folders: that entry fails. A failure's reason is about the archive ("not
// a zip archive") or names the first failing entry ("entry a/b.txt: CRC
// differs", "disk full writing a/b.txt").
Outcome UnzipArchive(const std::wstring& archive_path, const std::wstring& target_folder);
