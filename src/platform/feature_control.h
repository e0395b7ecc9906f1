// The per-machine browser emulation setting, one section (registry key) per
// feature, one value per executable. On Windows it is the registry value of
// the browser control, under HKEY_LOCAL_MACHINE, or under HKEY_CURRENT_USER
// for a user who may not write the machine's keys. Elsewhere it is a small
// INI store in a machine-wide location, and only users who may write there
// change it; everyone else is ignored silently.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The store: $QUILLORY_FEATURE_CONTROL_FILE when set and not empty (tests),
// else /etc/quillory/feature_control.ini. On Windows, the registry key that
// holds a key per feature, below either root.
std::wstring FeatureControlStorePath();

// Writes `value` (decimal; a REG_DWORD on Windows) under `value_name` in
// section `feature`, creating the folder, file and section (the keys) when
// missing. Any failure ends the operation silently.
void WriteFeatureControl(const std::wstring& feature, std::uint32_t value,
                         const std::wstring& value_name);

}  // namespace platform
