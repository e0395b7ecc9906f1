// The open-file dialog. Main thread only.
#pragma once

#include <optional>
#include <string>

namespace platform {

// Lets the user pick one existing file whose name ends in `extension`
// (".vkp"; matched in any letter case), under the filter name `filter_name`,
// starting in `start_dir` (ignored when empty or missing). Modal, owned by the
// shell's window when one exists. The chosen full path, or none when the user
// cancelled.
std::optional<std::wstring> ShowOpenFileDialog(const std::wstring& title,
                                                const std::wstring& filter_name,
                                                const std::wstring& extension,
                                                const std::wstring& start_dir);

}  // namespace platform
