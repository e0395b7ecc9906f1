// The settings write's failures in words.
#include "util/settings_write.h"

#include "platform/ini.h"
#include "util/text.h"

namespace {

const char* FailureText(platform::ProfileWriteFailure failure) {
  switch (failure) {
    case platform::ProfileWriteFailure::kRefusedText:
      return "text would not stay on its line";
    case platform::ProfileWriteFailure::kUnreadable:
      return "file cannot be read";
    case platform::ProfileWriteFailure::kDiskFull:
      return "disk full";
    default:
      return "file cannot be written";
  }
}

}  // namespace

Outcome WriteSetting(const std::wstring& section, const std::wstring& key,
                     const std::wstring& value, const std::wstring& path) {
  platform::ProfileWriteFailure failure = platform::ProfileWriteFailure::kUnwritable;
  if (platform::WritePrivateProfileString(section, key, value, path, &failure)) {
    return Outcome::Success();
  }
  return Outcome::Failure(FailureText(failure))
      .Within("setting " + OneLineText(section + L"/" + key));
}
