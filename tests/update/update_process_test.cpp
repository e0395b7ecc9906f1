// The update sequence as a process of its own: killed in the middle and
// started again, and the exit hook of a completed executable update.
#include <gtest/gtest.h>

#include <filesystem>

#include "update/update_fixture.h"

namespace {

namespace fs = std::filesystem;
using update_test::Exists;
using update_test::NginxServer;
using update_test::ReadFile;

class UpdateProcessTest : public update_test::UpdateFixture {
 protected:
  static std::string UpdateRun() { return update_test::SiblingProgram("quillory-update-run"); }
  // Runs quillory-update-run against `server_url`; its standard output.
  std::string RunChild(const std::string& server_url, std::vector<std::string> keys = {}) {
    update_test::SetEnvironment("QUILLORY_UPDATE_SERVER", server_url);
    const std::string out = root_.path() + "/child.out";
    keys.insert(keys.begin(), {UpdateRun(), app()});
    EXPECT_EQ(update_test::RunProcess(keys, out), 0);
    return update_test::ReadText(out);
  }
};

TEST_F(UpdateProcessTest, KilledInTheMiddleOfADownloadCompletesAtTheNextStart) {
  NginxServer slow({www(), 0, false, /*slow_files=*/true});
  ASSERT_TRUE(slow.running());
  const std::string big = update_test::SampleBytes(1 << 20, 7);
  const std::string files = slow.Url() + "/files/";
  fs::create_directories(app() + "big");
  Publish("2.0.0.0", {{"first.txt", "first", "", "file", files + "first.txt"},
                      {"big.bin", big, "big/", "file", files + "big.bin"}});

  update_test::SetEnvironment("QUILLORY_UPDATE_SERVER", slow.Url());
  const update_test::ProcessId child = update_test::SpawnProcess({UpdateRun(), app()}, "/dev/null");
  const std::string partial = content() + "/update/big/big.bin.tmp";
  const bool receiving =
      update_test::WaitFor([&] { return Exists(partial) && fs::file_size(partial) > 0; }, 60);
  update_test::KillProcess(child);
  ASSERT_TRUE(receiving);
  EXPECT_EQ(ReadFile(app() + "first.txt"), "first");
  EXPECT_FALSE(Exists(app() + "big/big.bin"));
  EXPECT_EQ(RecordedVersion(), "1.0.0.0");

  // Next start, the same server now answering at full speed.
  const int port = slow.port();
  slow.Stop();
  NginxServer fast({www(), port});
  ASSERT_TRUE(fast.running());
  fs::remove(app() + "first.txt");
  EXPECT_EQ(RunChild(fast.Url()), "outcome completed\n");
  EXPECT_EQ(ReadFile(app() + "first.txt"), "first");
  EXPECT_TRUE(ReadFile(app() + "big/big.bin") == big);
  EXPECT_EQ(RecordedVersion(), "2.0.0.0");
  EXPECT_FALSE(Exists(content() + "/update"));
  EXPECT_FALSE(Exists(content() + "/update.xml"));
}

TEST_F(UpdateProcessTest, NewExecutableAsksForRestartAndStartsTheSwapAtExit) {
  Publish("2.0.0.0", {{"quillory", "#!/bin/sh\n", "", "main"}});
  const std::string out = RunChild(ServerUrl());
  EXPECT_EQ(out,
            "box|程序更新需要重新启动！|Quillory - 更新升级\n"
            "cancel\n"
            "outcome completed\n");
  EXPECT_TRUE(Exists(app() + "swap-started"));
  EXPECT_EQ(ReadFile(app() + "quillory_"), "#!/bin/sh\n");
}

TEST_F(UpdateProcessTest, WithoutANewExecutableNoHookRuns) {
  Publish("2.0.0.0", {{"n.txt", "n", "", "file"}});
  EXPECT_EQ(RunChild(ServerUrl()), "outcome completed\n");
  EXPECT_FALSE(Exists(app() + "swap-started"));
}

TEST_F(UpdateProcessTest, WithKeysOnlyASignedExecutableIsInstalled) {
  const std::vector<std::string> keys = {"--key", PublicKeyPath(0)};
  PublishSigned("2.0.0.0", {{"quillory", "#!/bin/sh\n", "", "main"}}, "1", /*key=*/2);
  EXPECT_EQ(RunChild(ServerUrl(), keys), "outcome refused-manifest\n");
  EXPECT_FALSE(Exists(app() + "quillory_"));
  PublishSigned("2.0.0.0", {{"quillory", "#!/bin/sh\n", "", "main"}}, "1", /*key=*/0);
  EXPECT_EQ(RunChild(ServerUrl(), keys),
            "box|程序更新需要重新启动！|Quillory - 更新升级\n"
            "cancel\n"
            "outcome completed\n");
  EXPECT_TRUE(Exists(app() + "swap-started"));
}

}  // namespace
