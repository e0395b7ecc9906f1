// The host window as seen by the page commands (CommandHost), by worker
// threads (MainWindowLink) and by the page bridge (WinFun).
#include <utility>

#include "commands/win_fun.h"
#include "platform/file_dialog.h"
#include "platform/main_loop.h"
#include "platform/message_box.h"
#include "shell/main_dlg.h"
#include "shell/shared_values.h"
#include "shell/win_fun_arguments.h"

CommandSettings CMainDlg::Settings() const {
  return CommandSettings{g_strAppDir,    g_strDataDir, g_strPort,
                         g_strServerUrl, g_strVersion, g_strConfigPath};
}

BookMode CMainDlg::Book() const { return BookMode{g_bInBook, g_strBookKey}; }

void CMainDlg::SetBook(BookMode book) {
  g_bInBook = book.in_book;
  g_strBookKey = std::move(book.key);
}

void CMainDlg::SetPackagePath(const std::wstring& path) { g_strPackagePath = path; }

MainWindowLink* CMainDlg::WindowLink() { return g_hMainWnd; }

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

void CMainDlg::ShowMessage(const std::wstring& text, platform::MessageIcon icon) {
  platform::ShowMessageBox(text, g_strProductName, icon);
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

void CMainDlg::ShowMessageBox(const std::wstring& text, const std::wstring& caption,
                              platform::MessageIcon icon) {
  Send([&] { platform::ShowMessageBox(text, caption, icon); });
}

std::optional<bool> CMainDlg::OnWinFun(const std::vector<platform::ScriptValue>& arguments) {
  try {
    std::optional<WinFunArguments> texts = ConvertWinFunArguments(arguments);
    if (!texts) return std::nullopt;
    return RunWinFun(*this, *texts);
  } catch (...) {
    return std::nullopt;  // out of memory: the page's call fails, nothing changed
  }
}
