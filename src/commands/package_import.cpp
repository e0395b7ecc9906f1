// The SelectPackage command and its import worker.
#include "commands/package_import.h"

#include <optional>
#include <thread>

#include "commands/command_host.h"
#include "core/main_window_link.h"
#include "shell/shared_values.h"
#include "util/zip.h"

namespace {

// Packages always go into "Data", also in developer mode, where the content
// folder is "Deve".
constexpr const wchar_t* kImportFolder = L"Data";

void PostResult(bool ok) {
  if (g_hMainWnd != nullptr) g_hMainWnd->PostUnzipResult(ok);
}

}  // namespace

void ImportPackageThread(std::wstring package_path) {
  // Worker thread.
  bool ok = false;
  try {
    ok = UnzipArchive(package_path, g_strAppDir + kImportFolder);
  } catch (...) {
    ok = false;
  }
  PostResult(ok);
}

void SelectPackage(CommandHost& host) {
  std::optional<std::wstring> chosen = host.ChoosePackageFile();
  if (!chosen) {
    host.RunPageScript(L"SetUnzPkg(3);");
    return;
  }
  g_strPackagePath = *chosen;
  try {
    // The worker gets its own copy of the path: a later confirmed dialog may
    // write g_strPackagePath again while this worker is still starting.
    std::thread(ImportPackageThread, g_strPackagePath).detach();
  } catch (...) {
    // No worker, so no result would ever arrive; the page is told at once.
    host.RunPageScript(L"SetUnzPkg(0);");
  }
}
