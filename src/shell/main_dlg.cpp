// The host window's lifecycle: initialisation, the message filter and close
// requests.
#include "shell/main_dlg.h"

#include <chrono>
#include <thread>

#include "commands/reading_commands.h"
#include "core/version_record.h"
#include "platform/fs.h"
#include "platform/main_loop.h"
#include "platform/message_box.h"
#include "server/server.h"
#include "shell/shared_values.h"
#include "shell/swap_rules.h"
#include "shell/win_fun_arguments.h"
#include "update/update_thread.h"

namespace {

constexpr const wchar_t* kMissingFilesText = L"缺少必要的文件！请重新安装程序！";
constexpr const wchar_t* kStartFailedText =
    L"出现意外错误，程序无法启动！\r\n请重新运行程序！\r\n如果该问题反复出现，请联系客服获取帮助！";
constexpr const wchar_t* kErrorCaptionSuffix = L" - 程序错误";
// The page gets a moment to start loading before the update thread competes with it.
constexpr int kStartPauseMs = 300;

CMainDlg* g_current = nullptr;

std::wstring ContentUrl(const wchar_t* page) {
  return L"http://localhost:" + g_strPort + L"/000000/" + page;
}

}  // namespace

CMainDlg::CMainDlg(bool automation) : m_bAutomation(automation) {}

CMainDlg::~CMainDlg() {
  if (g_current == this) g_current = nullptr;
}

CMainDlg* CMainDlg::Current() { return g_current; }

int CMainDlg::DoModal() {
  if (!platform::InitGui()) return -1;
  platform::WebWindowOptions options;
  options.title = g_strProductName;
  options.client_width = kClientWidth;
  options.client_height = kClientHeight;
  options.automation = m_bAutomation;
  m_window = platform::WebWindow::Create(options, *this);
  if (!m_window) return -1;
  g_current = this;
  OnInitDialog();
  platform::RunMainLoop();
  m_bEnded = true;
  g_current = nullptr;
  m_window.reset();
  return 0;
}

bool CMainDlg::OnInitDialog() {
  m_window->SetMark(true);
  g_hMainWnd = this;
  ComputeStartValues();
  m_window->SetDeveloperMode(g_bDevMode);
  m_window->Navigate(L"about:blank");
  if (!platform::PathExists(g_strAppDir + g_strDataDir + L"/000000")) {
    FailStart(kMissingFilesText);
    return true;
  }
  g_strVersion = GetFileVersionString(L"");
  if (StartServer() != 0) {
    FailStart(kStartFailedText);
    return true;
  }
  m_window->AllowCallsFrom(ShellPageOrigins(g_strPort));
  m_window->Navigate(ContentUrl(L"kvr_entrance.html"));
  // Blocks this thread only; the engine's own processes start meanwhile (measured:
  // no later entrance page than with a timer).
  std::this_thread::sleep_for(std::chrono::milliseconds(kStartPauseMs));
  FinishStart();
  return true;
}

void CMainDlg::FinishStart() {
  ReadLastUpdate();
  SetSwapExeAtExitHook(RunSwapExeAtExit);
  StartUpdateThread();
}

void CMainDlg::FailStart(const std::wstring& text) {
  platform::ShowMessageBox(text, g_strProductName + kErrorCaptionSuffix,
                           platform::MessageIcon::kError);
  StopServer();
  m_window->SetMark(false);
  platform::QuitMainLoop();
}

void CMainDlg::EndWindow() {
  StopServer();
  m_window->SetMark(false);
  m_bEnded = true;
  platform::QuitMainLoop();
}

void CMainDlg::OnOK() { RunPageScript(L"SetFun('enter');"); }

void CMainDlg::OnCancel() {
  if (m_bEnded) return;
  if (g_bInBook) return QuitBook(*this);  // a close only leaves the open book
  EndWindow();
}

long CMainDlg::OnUnzPkgResult(bool ok) {
  RunPageScript(ok ? L"SetUnzPkg(1);" : L"SetUnzPkg(0);");
  return 0;
}

void CMainDlg::Activate() {
  if (m_window && m_window->HasMark()) m_window->Present();
}

bool CMainDlg::IsFilteredKey(platform::Key key) {
  using platform::Key;
  switch (key) {
    case Key::kShift:
    case Key::kEnter:
    case Key::kEscape:
      return true;
    case Key::kF5:
    case Key::kF8:
    case Key::kF9:
      return g_bDevMode;
    default:
      return false;
  }
}

bool CMainDlg::OnKeyDown(platform::Key key) {
  using platform::Key;
  if (!IsFilteredKey(key)) return false;
  switch (key) {
    case Key::kShift:
      g_bShiftDown = true;
      break;
    case Key::kEnter:
      OnOK();
      break;
    case Key::kEscape:
      OnCancel();
      break;
    case Key::kF5:
      m_window->Reload();
      break;
    case Key::kF8:
      EnterReadingMode();
      break;
    case Key::kF9:
      EnterWindowedMode(false);
      break;
    default:
      break;
  }
  return true;
}

// Only the press acts; its release must not reach the page either.
bool CMainDlg::OnKeyUp(platform::Key key) { return IsFilteredKey(key); }

bool CMainDlg::OnButtonDown(platform::MouseButton button, bool repeated) {
  if (button == platform::MouseButton::kRight) return true;
  if (button == platform::MouseButton::kLeft && !repeated && g_bShiftDown) {
    g_bShiftDown = false;
    return true;
  }
  return false;
}

void CMainDlg::OnCloseRequest() { OnCancel(); }

// The automation session is over: the window ends whatever the page shows.
void CMainDlg::OnViewClosed() {
  if (!m_bEnded) EndWindow();
}
