// Swap-pair naming and the exit hook that starts the other executable.
#include "shell/swap_rules.h"

#include "platform/file_writer.h"
#include "platform/process.h"
#include "shell/shared_values.h"

namespace {

std::size_t FileNameStart(const std::wstring& path) {
  std::size_t separator = path.find_last_of(L"/\\");
  return separator == std::wstring::npos ? 0 : separator + 1;
}

bool FileNameEndsWith(const std::wstring& path, const std::wstring& ending) {
  std::size_t name_length = path.size() - FileNameStart(path);
  return name_length >= ending.size() &&
         path.compare(path.size() - ending.size(), ending.size(), ending) == 0;
}

}  // namespace

bool IsSwapStart(const std::wstring& exe_path, const std::wstring& suffix) {
  return FileNameEndsWith(exe_path, L"_" + suffix);
}

std::wstring SwapPartnerPath(const std::wstring& exe_path, const std::wstring& suffix,
                             bool swap_start) {
  if (swap_start) {
    if (!IsSwapStart(exe_path, suffix)) return exe_path;
    std::wstring partner = exe_path;
    return partner.erase(partner.size() - suffix.size() - 1, 1);
  }
  if (!FileNameEndsWith(exe_path, suffix) || FileNameStart(exe_path) == exe_path.size())
    return exe_path;
  std::wstring partner = exe_path;
  return partner.insert(partner.size() - suffix.size(), L"_");
}

bool CopyOverMainExecutable(const std::wstring& swap_exe, const std::wstring& main_exe) {
  return platform::CopyFileReplacing(swap_exe, main_exe);
}

void RunSwapExeAtExit() { platform::ShellOpen(g_strExeSwapPath); }
