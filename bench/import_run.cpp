// import_run PROGRAM_DIR PACKAGE [COUNT]: imports a content package COUNT
// times (default 1) with the import worker, as the shell does after the
// file dialog, and prints "imported N failed M". For the soak run.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "commands/package_import.h"
#include "core/main_window_link.h"
#include "shell/shared_values.h"
#include "util/text.h"

namespace {

// The window as the import worker sees it: counts the results.
class CountingWindow : public MainWindowLink {
 public:
  void Post(std::function<void()> task) override { task(); }
  void Send(std::function<void()> task) override { task(); }
  void PostUnzipResult(bool ok) override { ++(ok ? m_ok : m_failed); }
  void SendCancel() override {}
  void ShowMessageBox(const std::wstring&, const std::wstring&, Icon) override {}
  int m_ok = 0;
  int m_failed = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: import_run PROGRAM_DIR PACKAGE [COUNT]\n");
    return 2;
  }
  std::wstring dir = FsNameToWide(argv[1]);
  if (dir.empty() || dir.back() != L'/') dir += L'/';
  ComputeStartValuesFor(dir);
  const int count = argc > 3 ? std::atoi(argv[3]) : 1;
  static CountingWindow window;
  g_hMainWnd = &window;
  for (int i = 0; i < count; ++i) ImportPackageThread(FsNameToWide(argv[2]));
  std::printf("imported %d failed %d\n", window.m_ok, window.m_failed);
  return window.m_failed == 0 ? 0 : 1;
}
