// Names that come from outside (package entries, update manifests, pages) and
// are appended to a folder of ours. Both "/" and "\" separate levels, as they
// do on Windows, so a name can never climb out on either platform.
#pragma once

#include <string>

bool IsNameSeparator(wchar_t c);

// True when `name` stays inside the folder it is appended to: not absolute (no
// leading separator), no drive prefix ("C:") and no ".." level.
bool IsContainedName(const std::wstring& name);
