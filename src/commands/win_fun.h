// The page command dispatcher behind window.external.WinFun. Main thread only.
#pragma once

#include <string>

class CommandHost;

// Runs the command named `command` (exact, case-sensitive) with its five
// arguments already converted to text. An unknown name does nothing. The
// result carries no outcome.
bool RunWinFun(CommandHost& host, const std::wstring& command, const std::wstring& a1,
               const std::wstring& a2, const std::wstring& a3, const std::wstring& a4,
               const std::wstring& a5);
