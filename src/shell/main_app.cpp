// The start sequence: swap start, feature control, socket layer, single
// instance, then the window.
#include "shell/main_app.h"

#include <cstdlib>
#include <filesystem>

#include "platform/feature_control.h"
#include "platform/fs.h"
#include "platform/main_loop.h"
#include "platform/message_box.h"
#include "platform/single_instance.h"
#include "platform/socket_layer.h"
#include "shell/main_dlg.h"
#include "shell/shared_values.h"
#include "shell/start_cleanup.h"
#include "shell/swap_rules.h"

namespace {

// Through the narrow file-system name: a wide path converts with the C
// locale and throws for a folder named in Chinese.
std::wstring BaseName(const std::wstring& path) {
  return platform::FromFsName(std::filesystem::path(platform::ToFsName(path)).stem().string());
}

// A later start asked us to come forward: only a window carrying the mark answers.
void ActivateRunningWindow() {
  if (CMainDlg* dialog = CMainDlg::Current()) dialog->Activate();
}

}  // namespace

bool CMainApp::InitInstance() {
  const std::wstring exe_path = platform::ExecutablePath();
  g_strExeSwapPath = exe_path;
  g_strExePath = g_strExeSwapPath;

  if (IsSwapStart(g_strExePath, platform::kExeSuffix)) {
    g_strExeSwapPath = SwapPartnerPath(g_strExePath, platform::kExeSuffix, true);
    CopyOverMainExecutable(g_strExePath, g_strExeSwapPath);
    std::atexit(RunSwapExeAtExit);
    return false;
  }

  g_strExeSwapPath = SwapPartnerPath(g_strExePath, platform::kExeSuffix, false);
  platform::DeleteFileAt(g_strExeSwapPath);  // the running executable itself is refused

  platform::WriteFeatureControl(L"FEATURE_BROWSER_EMULATION", 8000,
                                BaseName(g_strExePath) + platform::kExeSuffix);

  if (!platform::InitSocketLayer()) {
    platform::ShowMessageBox(L"Windows 套接字初始化失败。", BaseName(g_strExePath),
                             platform::MessageIcon::kWarning);
    return false;
  }

  if (!platform::AcquireInstanceLock(g_strProductName)) {
    platform::RequestActivation(g_strProductName);
    return false;
  }
  platform::ListenForActivation(g_strProductName,
                                [] { platform::PostToMainThread(ActivateRunningWindow); });
  // Only the first instance tidies up: a second one could meet files that
  // the first is still writing.
  RemoveLeftoversOfKilledRuns(GetModuleDir());

  InitServerUrl();
  // The window object stays until the process ends: worker threads may still
  // hold g_hMainWnd, and once the modal run is over it drops what they post or send.
  auto* dialog = new CMainDlg(m_bAutomation);
  dialog->DoModal();
  return false;
}
