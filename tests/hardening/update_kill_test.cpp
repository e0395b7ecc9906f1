// The update sequence killed with SIGKILL at random moments across download,
// verification, unpacking and the settings write, then started again: the
// next run completes the update, config.ini is never corrupt, and no file in
// Data is cut short.
#include <stdlib.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

#include "hardening/kill_support.h"
#include "platform/ini.h"
#include "update/update_fixture.h"
#include "util/text.h"

namespace {

namespace fs = std::filesystem;
using update_test::ReadFile;

constexpr int kKills = 20;

class UpdateKillTest : public update_test::UpdateFixture {
 protected:
  void SetUp() override {
    UpdateFixture::SetUp();
    for (int i = 0; i < 4; ++i) {
      package_["000000/part" + std::to_string(i) + ".vkc"] =
          update_test::SampleBytes(256 << 10, 40u + i);
    }
    package_["000000/list.xml"] = "<list/>";
    update_test::WriteZip(root_.path() + "/content.vkp", package_);
    plain_ = update_test::SampleBytes(1 << 20, 9);
    Publish("2.0.0.0", {{"content.vkp", ReadFile(root_.path() + "/content.vkp"), "pkg", "package"},
                        {"readme.bin", plain_, "", "file"}});
    old_config_ = ReadFile(app() + "config.ini");
    const std::string reference = root_.path() + "/reference.ini";
    update_test::WriteFile(reference, old_config_);
    platform::WritePrivateProfileString(L"Base", L"LastUpdate", L"2.0.0.0",
                                        FsNameToWide(reference));
    new_config_ = ReadFile(reference);
    setenv("QUILLORY_UPDATE_SERVER", ServerUrl().c_str(), 1);
  }

  // The program folder as it was before any update ran.
  void ResetProgramFolder() {
    fs::remove_all(app());
    fs::create_directories(app() + "Data/000000");
    update_test::WriteFile(app() + "config.ini", old_config_);
  }

  pid_t StartRun(const std::string& out) {
    return update_test::SpawnProcess({QUILLORY_UPDATE_RUN, app()}, out);
  }

  // Something that the run does after it has started: kills are spread over
  // the work, not over the start of the process.
  bool RunUnderWay() const {
    return update_test::Exists(content() + "/update.xml") ||
           update_test::Exists(content() + "/update") ||
           ReadFile(app() + "config.ini") == new_config_;
  }

  using Clock = std::chrono::steady_clock;
  // True while the child runs; an ended child is left unreaped, so that its
  // process id cannot be reused before the test reaps it.
  static bool Running(pid_t child) {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
  }
  // Polls `condition` closely until it holds or the child has ended.
  static Clock::time_point WaitUntil(pid_t child, const std::function<bool()>& condition) {
    while (!condition() && Running(child)) {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return Clock::now();
  }

  // Where the killed run was, judged by what it left.
  std::string PhaseLeft() const {
    if (ReadFile(app() + "config.ini") == new_config_) return "recorded";
    if (update_test::Exists(app() + "readme.bin")) return "installing";
    if (update_test::Exists(content() + "/000000/part0.vkc")) return "unpacking";
    if (update_test::Exists(content() + "/update")) return "downloading";
    return "starting";
  }

  void ExpectDataWhole(const std::string& when) {
    for (const auto& [name, bytes] : hardening::FilesBelow(content(), nullptr)) {
      auto entry = package_.find(name);
      if (entry == package_.end()) continue;  // staging and manifest files
      EXPECT_TRUE(bytes == entry->second) << when << ": " << name << " cut short or changed";
    }
  }

  std::map<std::string, std::string> package_;
  std::string plain_;
  std::string old_config_;
  std::string new_config_;
};

TEST_F(UpdateKillTest, KilledRunIsCompletedByTheNextRunAndConfigNeverCorrupt) {
  // How long the work takes from the moment it is under way until the new
  // version is recorded (process start and the sanitizers' exit work left
  // out). The second of two runs counts: the first one pays for cold caches.
  long work_us = 0;
  for (int calibration = 0; calibration < 2; ++calibration) {
    ResetProgramFolder();
    const pid_t child = StartRun(root_.path() + "/calibrate.out");
    const Clock::time_point under_way = WaitUntil(child, [&] { return RunUnderWay(); });
    const Clock::time_point recorded =
        WaitUntil(child, [&] { return ReadFile(app() + "config.ini") == new_config_; });
    update_test::WaitProcess(child);
    work_us = std::chrono::duration_cast<std::chrono::microseconds>(recorded - under_way).count();
    ASSERT_EQ(ReadFile(app() + "config.ini"), new_config_) << ReadFile(root_.path() + "/calibrate.out");
  }

  std::map<std::string, int> phases;
  for (int kill = 0; kill < kKills; ++kill) {
    ResetProgramFolder();
    const pid_t child = StartRun("/dev/null");
    WaitUntil(child, [&] { return RunUnderWay(); });
    // A little past the recording, so that some kills land after it too.
    hardening::SleepRandomMoment(work_us + work_us / 10);
    ::kill(child, SIGKILL);
    update_test::WaitProcess(child);
    ++phases[PhaseLeft()];
    const std::string config = ReadFile(app() + "config.ini");
    EXPECT_TRUE(config == old_config_ || config == new_config_)
        << "kill " << kill << " left config.ini:\n" << config;
    ExpectDataWhole("after kill " + std::to_string(kill));

    const std::string out = root_.path() + "/next.out";
    ASSERT_EQ(update_test::WaitProcess(StartRun(out)), 0);
    const std::string outcome = ReadFile(out);
    if (config == old_config_) {
      EXPECT_EQ(outcome, "outcome completed\n") << "kill " << kill;
    }
    EXPECT_EQ(ReadFile(app() + "config.ini"), new_config_) << "kill " << kill;
    EXPECT_TRUE(ReadFile(app() + "readme.bin") == plain_) << "kill " << kill;
    std::map<std::string, std::string> data = hardening::FilesBelow(content(), nullptr);
    for (const auto& [name, bytes] : package_) {
      EXPECT_TRUE(data[name] == bytes) << "kill " << kill << ": " << name;
    }
  }
  std::string summary;
  for (const auto& [phase, count] : phases) summary += phase + "=" + std::to_string(count) + " ";
  std::printf("kills by phase: %s\n", summary.c_str());
  RecordProperty("kills_by_phase", summary);
}

}  // namespace
