// The page bridge's rules above the platform: which pages it answers and
// how their WinFun arguments become texts.
//
// What the page passes to WinFun, turned into the six texts the dispatcher
// takes: strings unchanged but cut at their first NUL, undefined and missing
// arguments "", numbers their decimal text, booleans "-1"/"0", other values
// their script text. A null argument, or more than six, make the whole call
// fail (it throws in the page) before any command runs.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "platform/web_window.h"

using WinFunArguments = std::array<std::wstring, 6>;

std::optional<WinFunArguments> ConvertWinFunArguments(
    const std::vector<platform::ScriptValue>& values);

// The origins of the documents that the shell's own server on `port` serves
// ("http://localhost:<port>" and "http://127.0.0.1:<port>"); the only pages
// the bridge answers. Empty when `port` is empty.
std::vector<std::wstring> ShellPageOrigins(const std::wstring& port);
