// The program folder and update server of the sequence tests.
#include "update/update_fixture.h"

#include <filesystem>

#include "pack_commands.h"
#include "pack_sign.h"
#include "platform/ini.h"
#include "shell/shared_values.h"
#include "update/minisign_sign.h"
#include "update/signed_manifest.h"
#include "update/update_sequence.h"
#include "update/update_thread.h"
#include "util/text.h"

namespace fs = std::filesystem;

namespace update_test {

TempFolder* UpdateFixture::www_ = nullptr;
NginxServer* UpdateFixture::nginx_ = nullptr;
TempFolder* UpdateFixture::keys_ = nullptr;

namespace {

constexpr int kTestKeys = 3;

}  // namespace

int RunPack(std::vector<std::string> args, int (*command)(int, char**)) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  return command(static_cast<int>(argv.size()), argv.data());
}

void UpdateFixture::SetUpTestSuite() {
  www_ = new TempFolder();
  nginx_ = new NginxServer({www_->path()});
  keys_ = new TempFolder();
  for (int key = 0; key < kTestKeys; ++key) {
    ASSERT_EQ(RunPack({"keygen", keys_->path() + "/" + std::to_string(key)}, &RunKeygenCommand), 0);
  }
}

void UpdateFixture::TearDownTestSuite() {
  delete nginx_;
  delete www_;
  delete keys_;
  nginx_ = nullptr;
  www_ = nullptr;
  keys_ = nullptr;
}

std::string UpdateFixture::SecretKeyPath(int key) {
  return keys_->path() + "/" + std::to_string(key) + "/" + kSecretKeyFileName;
}

std::string UpdateFixture::PublicKeyPath(int key) {
  return keys_->path() + "/" + std::to_string(key) + "/" + kPublicKeyFileName;
}

UpdateTrust UpdateFixture::TrustedKeys() {
  UpdateTrust trust;
  trust.require_signature = true;
  for (int key = 0; key < 2; ++key) {
    trust.keys.push_back(ParseMinisignPublicKeyFile(ReadFile(PublicKeyPath(key))).value());
  }
  return trust;
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

void UpdateFixture::Publish(const std::string& version, const std::vector<PublishedItem>& items,
                            const std::vector<std::string>& extra) {
  std::vector<std::string> args = {"manifest", "--version", version, "--out",
                                   www() + kManifestUrlPath};
  args.insert(args.end(), extra.begin(), extra.end());
  for (const PublishedItem& item : items) {
    const std::string local = root_.path() + "/publish/" + item.name;
    WriteFile(local, item.bytes);
    WriteFile(www() + "/files/" + item.name, item.bytes);
    const std::string url = item.url.empty() ? FileUrl(item.name) : item.url;
    args.push_back(local + "," + item.folder + "," + url + "," + item.kind);
  }
  fs::create_directories(fs::path(www() + kManifestUrlPath).parent_path());
  fs::remove(SignaturePath());
  ASSERT_EQ(RunPack(args, &RunManifestCommand), 0);
}

void UpdateFixture::PublishSigned(const std::string& version,
                                  const std::vector<PublishedItem>& items,
                                  const std::string& sequence, int key,
                                  const std::string& expires) {
  std::vector<std::string> extra = {"--sign", SecretKeyPath(key), "--sequence", sequence};
  if (!expires.empty()) extra.insert(extra.end(), {"--expires", expires});
  Publish(version, items, extra);
}

void UpdateFixture::ResignManifest(const std::string& trusted_comment, bool prehash) {
  const auto key = ParseMinisignSecretKeyFile(ReadFile(SecretKeyPath(0)));
  ASSERT_TRUE(key);
  const auto signature =
      SignMinisign(ReadFile(www() + kManifestUrlPath), *key, trusted_comment, prehash);
  ASSERT_TRUE(signature);
  WriteFile(SignaturePath(), *signature);
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

std::string UpdateFixture::RecordedSequence() const {
  return WideToFsName(
      platform::GetPrivateProfileString(L"Base", kUpdateSequenceKey, L"<none>", g_strConfigPath));
}

DownloadLimits UpdateFixture::ShortLimits() {
  DownloadLimits limits;
  limits.connect_timeout_seconds = 2;
  limits.stall_timeout_seconds = 2;
  return limits;
}

}  // namespace update_test
