// The process-wide values with their initial values, and the rules that
// compute them at start.
#include "shell/shared_values.h"

#include <cstdlib>
#include <mutex>

#include "core/diag_log.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "util/settings_write.h"
#include "util/text.h"

const std::wstring g_strProductName = L"Quillory";
std::wstring g_strServerUrl = FsNameToWide(QUILLORY_DEFAULT_UPDATE_SERVER);
std::wstring g_strDataDir = L"Deve";
std::wstring g_strExePath;
std::wstring g_strExeSwapPath;
std::wstring g_strAppDir;
std::wstring g_strBrowseDir;
bool g_bDevMode = false;
std::wstring g_strConfigPath;
std::wstring g_strVersion;
int g_sockListen = 0;
std::wstring g_strPort;
std::wstring g_strLastUpdate;
MainWindowLink* g_hMainWnd = nullptr;
bool g_bInBook = false;
std::wstring g_strBookKey;
std::wstring g_strPackagePath;
bool g_bShiftDown = false;

namespace {

// Capacity of the module-path buffer, terminating zero included: a longer
// path does not fit and counts as a failure (rather than a cut-off path that
// would name the wrong folder).
constexpr std::size_t kModulePathBuffer = 260;
constexpr const wchar_t* kDevMarker = L"tirrel";
constexpr const wchar_t* kLastUpdateKey = L"LastUpdate";
constexpr const wchar_t* kLastUpdateDefault = L"0.0.0.0";

std::mutex g_module_dir_mutex;
std::wstring g_module_dir;  // the folder once known; empty until then

void ComputeFromFolder(const std::wstring& app_dir) {
  const std::wstring separator(1, platform::kPathSeparator);
  g_strAppDir = app_dir;
  g_strBrowseDir = app_dir;
  g_bDevMode = platform::PathExists(g_strAppDir + separator + kDevMarker);
  g_strConfigPath = g_strAppDir + separator + kConfigFileName;
  g_strDataDir = g_bDevMode ? L"Deve" : L"Data";
}

}  // namespace

std::wstring GetModuleDir() {
  std::lock_guard<std::mutex> lock(g_module_dir_mutex);
  if (!g_module_dir.empty()) return g_module_dir;
  const std::wstring exe = platform::ExecutablePath();
  const std::size_t cut = exe.rfind(platform::kPathSeparator);
  if (exe.empty() || exe.size() >= kModulePathBuffer || cut == std::wstring::npos) {
    return std::wstring();  // the next call tries again
  }
  g_module_dir = exe.substr(0, cut + 1);
  return g_module_dir;
}

void ComputeStartValues() { ComputeFromFolder(GetModuleDir()); }

void ComputeStartValuesFor(const std::wstring& app_dir) {
  std::wstring folder = app_dir;
  // Either separator ends a given folder, as everywhere in the platform layer.
  if (!folder.empty() && folder.back() != L'/' && folder.back() != L'\\') {
    folder += platform::kPathSeparator;
  }
  ComputeFromFolder(folder);
}

void ReadLastUpdate() {
  g_strLastUpdate =
      platform::GetPrivateProfileString(L"BASE", kLastUpdateKey, L"", g_strConfigPath);
  if (!g_strLastUpdate.empty()) return;
  // A failed write is only logged: it leaves the second read empty.
  LogIfFailed("last update default",
              WriteSetting(L"Base", kLastUpdateKey, kLastUpdateDefault, g_strConfigPath));
  g_strLastUpdate =
      platform::GetPrivateProfileString(L"BASE", kLastUpdateKey, L"", g_strConfigPath);
}

void InitServerUrl() {
  const char* from_env = std::getenv("QUILLORY_UPDATE_SERVER");
  std::wstring url = FsNameToWide(
      from_env != nullptr && *from_env != '\0' ? from_env : QUILLORY_DEFAULT_UPDATE_SERVER);
  while (!url.empty() && url.back() == L'/') url.pop_back();
  g_strServerUrl = url;
}
