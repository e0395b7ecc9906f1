// The program folder and update server of the sequence tests.
#include "update/update_fixture.h"

#include <filesystem>

#include "app/shared_values.h"
#include "pack_commands.h"
#include "platform/ini.h"
#include "update/update_sequence.h"
#include "update/update_thread.h"
#include "util/text.h"

namespace fs = std::filesystem;

namespace update_test {

TempFolder* UpdateFixture::www_ = nullptr;
NginxServer* UpdateFixture::nginx_ = nullptr;

int RunPack(std::vector<std::string> args, int (*command)(int, char**)) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  return command(static_cast<int>(argv.size()), argv.data());
}

void UpdateFixture::SetUpTestSuite() {
  www_ = new TempFolder();
  nginx_ = new NginxServer({www_->path()});
}

void UpdateFixture::TearDownTestSuite() {
  delete nginx_;
  delete www_;
  nginx_ = nullptr;
  www_ = nullptr;
}

void UpdateFixture::SetUp() {
  ASSERT_TRUE(nginx_->running());
  fs::remove_all(www() + "/files");
  fs::remove_all(www() + "/Public");
  app_ = root_.path() + "/app/";
  fs::create_directories(app_ + "Data/000000");
  g_strAppDir = FsNameToWide(app_);
  g_strDataDir = L"Data";
  g_bDevMode = false;
  g_strConfigPath = g_strAppDir + L"/config.ini";
  platform::WritePrivateProfileString(L"Base", L"LastUpdate", L"1.0.0.0", g_strConfigPath);
  g_strLastUpdate = L"1.0.0.0";
  g_strServerUrl = FsNameToWide(ServerUrl());
  g_strExeSwapPath = g_strAppDir + L"quillory_";
  g_hMainWnd = &window_;
  g_bExeUpdated = 0;
}

void UpdateFixture::TearDown() { g_hMainWnd = nullptr; }

void UpdateFixture::Publish(const std::string& version, const std::vector<PublishedItem>& items) {
  std::vector<std::string> args = {"manifest", "--version", version, "--out",
                                   www() + kManifestUrlPath};
  for (const PublishedItem& item : items) {
    const std::string local = root_.path() + "/publish/" + item.name;
    WriteFile(local, item.bytes);
    WriteFile(www() + "/files/" + item.name, item.bytes);
    const std::string url = item.url.empty() ? FileUrl(item.name) : item.url;
    args.push_back(local + "," + item.folder + "," + url + "," + item.kind);
  }
  fs::create_directories(fs::path(www() + kManifestUrlPath).parent_path());
  ASSERT_EQ(RunPack(args, &RunManifestCommand), 0);
}

void UpdateFixture::PublishManifestText(const std::string& text) {
  WriteFile(www() + kManifestUrlPath, text);
}

void UpdateFixture::EditManifest(const std::string& from, const std::string& to) {
  std::string text = ReadFile(www() + kManifestUrlPath);
  const std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from << " not in " << text;
  text.replace(at, from.size(), to);
  PublishManifestText(text);
}

void UpdateFixture::RestartProgram() {
  g_strLastUpdate = platform::GetPrivateProfileString(L"BASE", L"LastUpdate", L"", g_strConfigPath);
  g_bExeUpdated = 0;
}

std::string UpdateFixture::RecordedVersion() const {
  return WideToFsName(
      platform::GetPrivateProfileString(L"BASE", L"LastUpdate", L"<none>", g_strConfigPath));
}

DownloadLimits UpdateFixture::ShortLimits() {
  DownloadLimits limits;
  limits.connect_timeout_seconds = 2;
  limits.stall_timeout_seconds = 2;
  return limits;
}

}  // namespace update_test
