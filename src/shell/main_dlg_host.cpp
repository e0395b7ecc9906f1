// The host window as seen by the page commands (CommandHost), by worker
// threads (MainWindowLink) and by the page bridge (WinFun).
#include "commands/win_fun.h"
#include "platform/file_dialog.h"
#include "platform/main_loop.h"
#include "platform/message_box.h"
#include "shell/main_dlg.h"
#include "shell/shared_values.h"
#include "shell/win_fun_arguments.h"

void CMainDlg::RunPageScript(const std::wstring& statement) {
  if (m_window) m_window->RunScript(statement);
}

void CMainDlg::Navigate(const std::wstring& url) {
  if (m_window) m_window->Navigate(url);
}

void CMainDlg::EnterReadingMode() {
  if (m_window) m_window->SetReadingMode();
}

void CMainDlg::EnterWindowedMode(bool maximise) {
  if (m_window) m_window->SetWindowedMode(maximise);
}

void CMainDlg::Minimise() {
  if (m_window) m_window->Minimise();
}

void CMainDlg::ShowMessage(const std::wstring& text, MessageKind kind) {
  platform::ShowMessageBox(text, g_strProductName,
                           kind == MessageKind::kError ? platform::MessageIcon::kError
                                                       : platform::MessageIcon::kInformation);
}

std::optional<std::wstring> CMainDlg::ChoosePackageFile() {
  return platform::ShowOpenFileDialog(L"导入资源包", L"Brenvik资源包文件 (*.vkp)", L".vkp",
                                      g_strBrowseDir);
}

void CMainDlg::Post(std::function<void()> task) {
  if (m_bEnded) return;
  platform::PostToMainThread([task = std::move(task)] {
    if (CMainDlg::Current() != nullptr) task();
  });
}

void CMainDlg::Send(std::function<void()> task) {
  if (m_bEnded) return;
  platform::SendToMainThread([&task] {
    if (CMainDlg::Current() != nullptr) task();
  });
}

void CMainDlg::PostUnzipResult(bool ok) {
  Post([ok] { CMainDlg::Current()->OnUnzPkgResult(ok); });
}

void CMainDlg::SendCancel() {
  Send([] { CMainDlg::Current()->OnCancel(); });
}

void CMainDlg::ShowMessageBox(const std::wstring& text, const std::wstring& caption, Icon icon) {
  platform::MessageIcon shown = icon == Icon::kError     ? platform::MessageIcon::kError
                                : icon == Icon::kWarning ? platform::MessageIcon::kWarning
                                                         : platform::MessageIcon::kInformation;
  Send([&] { platform::ShowMessageBox(text, caption, shown); });
}

std::optional<bool> CMainDlg::OnWinFun(const std::vector<platform::ScriptValue>& arguments) {
  try {
    std::optional<WinFunArguments> texts = ConvertWinFunArguments(arguments);
    if (!texts) return std::nullopt;
    const WinFunArguments& a = *texts;
    return RunWinFun(*this, a[0], a[1], a[2], a[3], a[4], a[5]);
  } catch (...) {
    return std::nullopt;  // out of memory: the page's call fails, nothing changed
  }
}
