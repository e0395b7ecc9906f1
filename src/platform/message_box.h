// Modal message boxes. Main thread only (worker threads send the call there).
#pragma once

#include <string>

namespace platform {

enum class MessageIcon { kInformation, kWarning, kError };

// Shows a modal box with `text`, `caption`, the icon and an OK button, owned
// by the shell's window when one exists, and returns when it is closed.
// Does nothing when no display is available.
void ShowMessageBox(const std::wstring& text, const std::wstring& caption, MessageIcon icon);

}  // namespace platform
