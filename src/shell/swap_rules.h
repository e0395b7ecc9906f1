// The executable's swap pair: X and X_ here, X.exe and X_.exe on Windows.
// The rules look at the file name only; folder names never change.
#pragma once

#include <string>

// True when the file name of `exe_path` ends in "_" followed by `suffix`
// (case-sensitive): the executable was started under its update name.
bool IsSwapStart(const std::wstring& exe_path, const std::wstring& suffix);

// The other executable of the pair, in the same folder. For a swap start the
// "_" before the suffix goes away; otherwise one is put before the suffix.
// A file name that does not end in `suffix` has no partner: the path comes
// back unchanged.
std::wstring SwapPartnerPath(const std::wstring& exe_path, const std::wstring& suffix,
                             bool swap_start);

// The swap start's copy of `swap_exe` over `main_exe`. The old program may
// still be executing `main_exe` (its exit hook started us), so the file is
// never written in place: the new program takes its name only when complete.
// True when `main_exe` now holds the new program, executable; false leaves
// the old one whole.
bool CopyOverMainExecutable(const std::wstring& swap_exe, const std::wstring& main_exe);

// Exit hook: starts the executable named by g_strExeSwapPath when the hook runs.
void RunSwapExeAtExit();
