// The SelectPackage command and its import worker.
#include "commands/package_import.h"

#include <optional>
#include <thread>

#include "commands/command_host.h"
#include "core/diag_log.h"
#include "core/main_window_link.h"
#include "util/relative_name.h"
#include "util/text.h"
#include "util/zip.h"

namespace {

// Packages always go into "Data", also in developer mode, where the content
// folder is "Deve".
constexpr const wchar_t* kImportFolder = L"Data";

// The package's file name, without the folders the user keeps it in.
std::string PackageName(const std::wstring& package_path) {
  std::size_t cut = package_path.size();
  while (cut > 0 && !IsNameSeparator(package_path[cut - 1])) --cut;
  return OneLineText(package_path.substr(cut));
}

}  // namespace

Outcome ImportPackage(const std::wstring& package_path, const std::wstring& program_folder) {
  return UnzipArchive(package_path, program_folder + kImportFolder)
      .Within("package " + PackageName(package_path));
}

void ImportPackageThread(std::wstring package_path, std::wstring program_folder,
                         MainWindowLink* window) {
  // Worker thread.
  Outcome outcome = Outcome::Failure("out of memory");
  try {
    outcome = ImportPackage(package_path, program_folder);
    LogOutcome("package import", outcome);
  } catch (...) {
    // Out of memory: the import fails; the page is still told.
  }
  if (window != nullptr) window->PostUnzipResult(outcome.ok());
}

void SelectPackage(CommandHost& host) {
  std::optional<std::wstring> chosen = host.ChoosePackageFile();
  if (!chosen) {
    host.RunPageScript(L"SetUnzPkg(3);");
    return;
  }
  host.SetPackagePath(*chosen);
  try {
    // The worker gets its own copies: a later confirmed dialog may record
    // another path while this worker is still starting.
    std::thread(ImportPackageThread, *chosen, host.Settings().program_folder, host.WindowLink())
        .detach();
  } catch (...) {
    // No worker, so no result would ever arrive; the page is told at once.
    host.RunPageScript(L"SetUnzPkg(0);");
  }
}
