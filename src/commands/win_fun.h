// The page command dispatcher behind window.external.WinFun. Main thread only.
#pragma once

#include <array>
#include <string>

class CommandHost;

// One WinFun call as texts: the command's name, then its five arguments.
using WinFunArguments = std::array<std::wstring, 6>;

// Runs the command named `arguments[0]` (exact, case-sensitive) with the
// arguments after it. An unknown name does nothing. The result carries no
// outcome.
bool RunWinFun(CommandHost& host, const WinFunArguments& arguments);
