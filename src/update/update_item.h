// Download, verification and installation of one manifest item.
#pragma once

#include <string>

#include "update/downloader.h"
#include "update/manifest.h"
#include "update/update_context.h"
#include "util/outcome.h"

// Stages the item under the context's staging root, checks its MD5 and
// length, and installs it by kind: "package" is unpacked into the program
// folder's "Data", "main" becomes the swap executable (and sets
// g_bExeUpdated), anything else is moved into the program folder. Fails when
// any of that fails, or when the item's file name, alone or joined to its
// folder value, would lead outside its folder (checked before anything is
// downloaded), or when a folder it writes into does not really lie in the
// program folder (a symbolic link leads elsewhere). Plain files and the
// executable replace a link at their target rather than writing through it.
// With `require_sha256` (signed updates) the staged file must also match the
// item's sha256 value, which an item without one never does. The reason
// names the item by its folder value and file name: "item docs/a.txt: md5
// differs", or "download docs/a.txt: status 404".
Outcome InstallItem(const ManifestItem& item, const UpdateContext& context,
                    const DownloadLimits& limits, bool require_sha256);
