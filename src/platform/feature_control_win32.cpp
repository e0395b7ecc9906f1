// The browser emulation setting in the registry: a REG_DWORD under
// HKEY_LOCAL_MACHINE, or under HKEY_CURRENT_USER for a user who may not
// write the machine's keys.
#include <windows.h>

#include "platform/feature_control.h"

namespace platform {
namespace {

// True when the value was written under `root`.
bool WriteUnder(HKEY root, const std::wstring& key_path, std::uint32_t value,
                const std::wstring& value_name) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, key_path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const DWORD data = value;
  const LONG written = RegSetValueExW(key, value_name.c_str(), 0, REG_DWORD,
                                      reinterpret_cast<const BYTE*>(&data), sizeof data);
  RegCloseKey(key);
  return written == ERROR_SUCCESS;
}

}  // namespace

std::wstring FeatureControlStorePath() {
  return L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl";
}

void WriteFeatureControl(const std::wstring& feature, std::uint32_t value,
                         const std::wstring& value_name) {
  const std::wstring key_path = FeatureControlStorePath() + L"\\" + feature;
  if (!WriteUnder(HKEY_LOCAL_MACHINE, key_path, value, value_name)) {
    WriteUnder(HKEY_CURRENT_USER, key_path, value, value_name);
  }
}

}  // namespace platform
