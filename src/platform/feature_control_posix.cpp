// Browser emulation setting stored in a machine-wide INI file.
#include "platform/feature_control.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/fs.h"
#include "platform/ini.h"

namespace platform {

std::wstring FeatureControlStorePath() {
  const char* configured = std::getenv("QUILLORY_FEATURE_CONTROL_FILE");
  if (configured != nullptr && *configured != '\0') return FromFsName(configured);
  return L"/etc/quillory/feature_control.ini";
}

void WriteFeatureControl(const std::wstring& feature, std::uint32_t value,
                         const std::wstring& value_name) {
  const std::wstring store = FeatureControlStorePath();
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(ToFsName(store)).parent_path(),
                                      ignored);
  WritePrivateProfileString(feature, value_name, std::to_wstring(value), store);
}

}  // namespace platform
