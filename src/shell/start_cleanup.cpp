// Tidying up at start after killed runs.
#include "shell/start_cleanup.h"

#include "platform/file_writer.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "shell/shared_values.h"

namespace {

// Package imports and update packages always unpack here, whatever the mode.
constexpr const wchar_t* kUnpackFolder = L"Data";
// The manifest is downloaded into the served content folder, which is one of
// these; a run killed during that download leaves its temporary file there.
constexpr const wchar_t* kContentFolders[] = {L"Data", L"Deve"};
constexpr const wchar_t* kManifestTemp = L"update.xml.tmp";

}  // namespace

void RemoveLeftoversOfKilledRuns(const std::wstring& app_dir) {
  platform::RemoveStaleProfileTemps(app_dir + kConfigFileName);
  // The swap start's copy of the executable.
  platform::RemoveStaleTempFiles(app_dir, false);
  // Extractions write each entry beside its final place, at any depth.
  platform::RemoveStaleTempFiles(app_dir + kUnpackFolder, true);
  for (const wchar_t* folder : kContentFolders) {
    platform::DeleteFileAt(app_dir + folder + platform::kPathSeparator + kManifestTemp);
  }
}
