// A settings write that says why it failed, for callers that log or pass on
// the reason. Safe on any thread, as the write beneath it.
#pragma once

#include <string>

#include "util/outcome.h"

// Writes `key` = `value` into `section` of the settings file at `path`, with
// the rules of platform::WritePrivateProfileString. A failure's reason names
// the setting and the cause ("setting Product/Product7: disk full").
Outcome WriteSetting(const std::wstring& section, const std::wstring& key,
                     const std::wstring& value, const std::wstring& path);
