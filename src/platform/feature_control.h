// Stand-in for the per-machine browser emulation setting: a small INI store
// in a machine-wide location, one section per feature, one key per
// executable. Only users who may write there change it; everyone else is
// ignored silently.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The store: $QUILLORY_FEATURE_CONTROL_FILE when set and not empty (tests),
// else /etc/quillory/feature_control.ini.
std::wstring FeatureControlStorePath();

// Writes `value` (decimal) under `value_name` in section `feature`, creating
// the folder, file and section when missing. Any failure ends the operation
// silently.
void WriteFeatureControl(const std::wstring& feature, std::uint32_t value,
                         const std::wstring& value_name);

}  // namespace platform
