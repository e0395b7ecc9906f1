// config.ini writes killed at random moments: the file is always either the
// version before a write or the version after it, never anything between.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "hardening/kill_support.h"
#include "platform/ini.h"
#include "update/test_support.h"
#include "util/text.h"

namespace {

using update_test::ReadFile;
using update_test::WriteFile;

constexpr int kKills = 30;

const char kInitialFile[] =
    "; settings\r\n[Base]\r\nLastUpdate=1.0.0.0\r\n\r\n[Product]\r\nProduct7=12\r\n";

// Values of different lengths, so that a file cut short cannot pass for
// another version.
std::vector<std::wstring> Values() {
  return {L"2.0.0.0", L"3." + std::wstring(300, L'1'), L"4.4", L"5." + std::wstring(3000, L'5')};
}

// Every file text that a completed write of one of the values can leave,
// starting from the initial file or from any other value.
std::set<std::string> AllowedTexts(const std::string& scratch) {
  std::set<std::string> allowed = {kInitialFile};
  const std::wstring path = FsNameToWide(scratch + "/reference.ini");
  for (const std::wstring& value : Values()) {
    WriteFile(scratch + "/reference.ini", kInitialFile);
    EXPECT_TRUE(platform::WritePrivateProfileString(L"Base", L"LastUpdate", value, path));
    allowed.insert(ReadFile(scratch + "/reference.ini"));
  }
  return allowed;
}

TEST(SettingsKillTest, KilledWriteLeavesTheOldOrTheNewFile) {
  update_test::TempFolder folder;
  const std::set<std::string> allowed = AllowedTexts(folder.path());
  const std::string config = folder.path() + "/app/config.ini";
  const std::wstring wide_config = FsNameToWide(config);
  int changed = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    WriteFile(config, kInitialFile);
    hardening::KilledChild writer([&](int progress) {
      const std::vector<std::wstring> values = Values();
      for (std::size_t i = 0;; ++i) {
        platform::WritePrivateProfileString(L"Base", L"LastUpdate", values[i % values.size()],
                                            wide_config);
        if (i == 0) hardening::Ready(progress);
      }
    });
    ASSERT_TRUE(writer.WaitReady(30));
    hardening::SleepRandomMoment(3000);
    EXPECT_TRUE(writer.Kill());
    const std::string text = ReadFile(config);
    EXPECT_EQ(allowed.count(text), 1u) << "kill " << kill << " left:\n" << text.substr(0, 200);
    if (text != kInitialFile) ++changed;
  }
  // The kills landed while writes were going on, not before the first one.
  EXPECT_GT(changed, 0);
  std::map<std::string, std::string> temporaries;
  hardening::FilesBelow(folder.path() + "/app", &temporaries);
  std::printf("temporary settings files left by %d killed writes: %zu\n", kKills,
              temporaries.size());
}

}  // namespace
