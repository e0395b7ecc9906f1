// A program folder, an nginx update server and a publisher for the tests of
// the update sequence.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "update/downloader.h"
#include "update/test_servers.h"
#include "update/test_support.h"
#include "update/update_context.h"
#include "update/update_trust.h"

namespace update_test {

inline constexpr const char* kManifestUrlPath = "/Public/ebag/client/update/update.xml";

// One published file and its manifest entry.
struct PublishedItem {
  std::string name;      // file name
  std::string bytes;     // contents
  std::string folder;    // folder value
  std::string kind;      // kind value
  std::string url = "";  // URL; empty: the file on the nginx server under /files/
};

// Runs a command of quillory-pack in this process; its exit code.
int RunPack(std::vector<std::string> args, int (*command)(int, char**));

class UpdateFixture : public testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;

  // Writes the items' files and their manifest onto the server; `extra`
  // arguments go to `quillory-pack manifest` (such as --sign).
  void Publish(const std::string& version, const std::vector<PublishedItem>& items,
               const std::vector<std::string>& extra = {});
  // Publishes and signs with test key `key` (TrustedKeys() holds keys 0 and
  // 1, key 2 is known to no one) and this trusted comment's fields.
  void PublishSigned(const std::string& version, const std::vector<PublishedItem>& items,
                     const std::string& sequence, int key = 0, const std::string& expires = "");
  // Signs the published manifest again, as it now is, with test key 0.
  void ResignManifest(const std::string& trusted_comment, bool prehash = true);
  static std::string SecretKeyPath(int key);
  static std::string PublicKeyPath(int key);
  static UpdateTrust TrustedKeys();
  std::string SignaturePath() const { return www() + kManifestUrlPath + ".minisig"; }
  // UpdateSequence in config.ini, "<none>" when missing.
  std::string RecordedSequence() const;
  // Publishes a manifest text as it is.
  void PublishManifestText(const std::string& text);
  // Replaces text inside the published manifest.
  void EditManifest(const std::string& from, const std::string& to);
  // Makes the program folder look as at the next start (LastUpdate re-read).
  void RestartProgram();
  // The value recorded in config.ini, "<none>" when missing.
  std::string RecordedVersion() const;

  std::string app() const { return app_; }  // program folder, ending in "/"
  std::string content() const { return app_ + data_dir_; }
  std::string www() const { return www_->path(); }
  std::string ServerUrl() const { return nginx_->Url(); }
  std::string FileUrl(const std::string& name) const { return ServerUrl() + "/files/" + name; }

  static DownloadLimits ShortLimits();

  static TempFolder* www_;
  static NginxServer* nginx_;
  static TempFolder* keys_;
  TempFolder root_;
  std::string app_;
  std::string data_dir_ = "Data";
  RecordingWindow window_;
  UpdateContext context_;  // the program folder's, as the shell would hand it down
};

}  // namespace update_test
