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
