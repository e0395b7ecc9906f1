// A package import killed in the middle: no file in Data is ever cut short,
// and the next import of the same package succeeds.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "commands/package_import.h"
#include "hardening/kill_support.h"
#include "shell/shared_values.h"
#include "update/test_support.h"
#include "util/text.h"
#include "util/zip.h"

namespace {

namespace fs = std::filesystem;

constexpr int kKills = 10;

// A package of a few large and many small entries, so that a kill can land
// inside an entry as well as between entries.
std::map<std::string, std::string> PackageEntries() {
  std::map<std::string, std::string> entries;
  for (int i = 0; i < 3; ++i) {
    entries["000000/big" + std::to_string(i) + ".vkc"] =
        update_test::SampleBytes(256 << 10, static_cast<unsigned>(i));
  }
  for (int i = 0; i < 40; ++i) {
    entries["000001/small" + std::to_string(i) + ".vkc"] =
        update_test::SampleBytes(2000 + static_cast<std::size_t>(i) * 31, 100u + i);
  }
  entries["list.xml"] = "<list/>";
  return entries;
}

class ImportKillTest : public testing::Test {
 protected:
  void SetUp() override {
    app_ = folder_.path() + "/app/";
    fs::create_directories(app_ + "Data");
    entries_ = PackageEntries();
    update_test::WriteZip(package_, entries_);
    g_strAppDir = FsNameToWide(app_);
    g_hMainWnd = &window_;
  }
  void TearDown() override { g_hMainWnd = nullptr; }

  // Every file in Data holds the whole entry of its name.
  void ExpectNoFileCutShort(const std::string& when) {
    std::map<std::string, std::string> temporaries;
    for (const auto& [name, bytes] : hardening::FilesBelow(app_ + "Data", &temporaries)) {
      auto entry = entries_.find(name);
      ASSERT_NE(entry, entries_.end()) << when << ": unexpected file " << name;
      EXPECT_EQ(bytes.size(), entry->second.size()) << when << ": " << name << " cut short";
      EXPECT_TRUE(bytes == entry->second) << when << ": " << name << " differs";
    }
    for (const auto& entry : temporaries) leftover_temporaries_.insert(entry.first);
  }

  // Microseconds one whole import takes here.
  long MeasureImport() {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(UnzipArchive(FsNameToWide(package_), g_strAppDir + L"Data"));
    const auto took = std::chrono::steady_clock::now() - start;
    fs::remove_all(app_ + "Data");
    fs::create_directories(app_ + "Data");
    return std::chrono::duration_cast<std::chrono::microseconds>(took).count();
  }

  update_test::TempFolder folder_;
  std::string app_;
  std::string package_ = folder_.path() + "/content.vkp";
  std::map<std::string, std::string> entries_;
  update_test::RecordingWindow window_;
  std::set<std::string> leftover_temporaries_;  // partial files of killed imports
};

TEST_F(ImportKillTest, KilledImportCutsNoFileShortAndTheNextImportSucceeds) {
  const long whole_import_us = MeasureImport();
  int hits = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    // Half the imports start over an empty Data, half replace what is there.
    if (kill % 2 == 0) {
      fs::remove_all(app_ + "Data");
      fs::create_directories(app_ + "Data");
    }
    hardening::KilledChild importer([&](int progress) {
      hardening::Ready(progress);
      ImportPackageThread(FsNameToWide(package_));
    });
    ASSERT_TRUE(importer.WaitReady(30));
    hardening::SleepRandomMoment(whole_import_us);
    if (importer.Kill()) ++hits;
    ExpectNoFileCutShort("after kill " + std::to_string(kill));

    ASSERT_TRUE(UnzipArchive(FsNameToWide(package_), g_strAppDir + L"Data"));
    std::map<std::string, std::string> temporaries;
    EXPECT_EQ(hardening::FilesBelow(app_ + "Data", &temporaries), entries_);
  }
  EXPECT_GT(hits, 0) << "no kill landed during an import";
  std::printf("kills during an import: %d of %d; temporary files left in Data: %d\n", hits, kKills,
              static_cast<int>(leftover_temporaries_.size()));
  RecordProperty("kills_during_import", hits);
  RecordProperty("leftover_temporary_files", static_cast<int>(leftover_temporaries_.size()));
}

}  // namespace
