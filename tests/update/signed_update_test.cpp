// Signed updates against nginx on 127.0.0.1: only a manifest signed by a
// trusted key, not rolled back and not expired, is acted on, and only items
// matching their sha256 are installed.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "platform/ini.h"
#include "shell/shared_values.h"
#include "update/signed_manifest.h"
#include "update/update_fixture.h"
#include "update/update_sequence.h"
#include "util/text.h"

namespace {

namespace fs = std::filesystem;
using update_test::Exists;
using update_test::ReadFile;
using update_test::WriteFile;

class SignedUpdateTest;

struct SignedCase {
  const char* name;
  int key;                            // 0 and 1 are trusted, 2 is not
  const char* sequence;               // in the trusted comment
  const char* recorded;               // UpdateSequence before the run; nullptr: none
  const char* expires;                // "": none
  void (*change)(SignedUpdateTest&);  // what happens to the published files; may be null
  UpdateOutcome outcome;
};

void PrintTo(const SignedCase& c, std::ostream* out) { *out << c.name; }

class SignedUpdateTest : public update_test::UpdateFixture,
                         public testing::WithParamInterface<SignedCase> {
 public:
  using UpdateFixture::ResignManifest;
  using UpdateFixture::SignaturePath;
  std::string ManifestPath() const { return www() + update_test::kManifestUrlPath; }
  void EditFile(const std::string& path, const char* pattern, const std::string& to) {
    WriteFile(path, std::regex_replace(ReadFile(path), std::regex(pattern), to));
  }
  // Edits the manifest and signs it again, so that only the edit can fail.
  void EditAndResign(const char* pattern, const std::string& to) {
    EditFile(ManifestPath(), pattern, to);
    ResignManifest("sequence=5");
  }
};

TEST_P(SignedUpdateTest, ActsOnlyOnWhatATrustedKeySigned) {
  const SignedCase& c = GetParam();
  if (c.recorded != nullptr) {
    platform::WritePrivateProfileString(L"Base", kUpdateSequenceKey, FsNameToWide(c.recorded),
                                        g_strConfigPath);
  }
  PublishSigned("2.0.0.0", {{"quillory", "new executable", "", "main"}}, c.sequence, c.key,
                c.expires);
  if (c.change != nullptr) c.change(*this);
  EXPECT_EQ(RunUpdate(ShortLimits(), TrustedKeys()), c.outcome);
  EXPECT_FALSE(Exists(content() + "/update.xml"));
  EXPECT_FALSE(Exists(content() + "/update.xml.minisig"));
  if (c.outcome == UpdateOutcome::kCompleted) {
    EXPECT_EQ(ReadFile(app() + "quillory_"), "new executable");
    EXPECT_EQ(RecordedVersion(), "2.0.0.0");
    EXPECT_EQ(RecordedSequence(), c.sequence);
    EXPECT_EQ(window_.calls().size(), 2u);  // the restart box and the close
    return;
  }
  EXPECT_FALSE(Exists(app() + "quillory_"));
  EXPECT_EQ(RecordedVersion(), "1.0.0.0");
  EXPECT_EQ(RecordedSequence(), c.recorded == nullptr ? "<none>" : c.recorded);
  EXPECT_TRUE(window_.calls().empty());
  // A refused manifest makes no request for any item.
  if (c.outcome == UpdateOutcome::kRefusedManifest) {
    EXPECT_FALSE(Exists(content() + "/update"));
  }
}

constexpr UpdateOutcome kDone = UpdateOutcome::kCompleted;
constexpr UpdateOutcome kRefused = UpdateOutcome::kRefusedManifest;
constexpr UpdateOutcome kFailed = UpdateOutcome::kIncomplete;

const std::string kWrongDigest = " sha256=\"" + std::string(64, 'a') + "\"";
using T = SignedUpdateTest;

INSTANTIATE_TEST_SUITE_P(
    Cases, SignedUpdateTest,
    testing::Values(
        SignedCase{"Prehashed", 0, "5", nullptr, "", nullptr, kDone},
        SignedCase{"Legacy", 0, "5", nullptr, "",
                   [](T& t) { t.ResignManifest("sequence=5", false); }, kDone},
        SignedCase{"SecondKey", 1, "5", nullptr, "", nullptr, kDone},
        SignedCase{"UnknownKey", 2, "5", nullptr, "", nullptr, kRefused},
        SignedCase{"NoSignature", 0, "5", nullptr, "", [](T& t) { fs::remove(t.SignaturePath()); },
                   kRefused},
        SignedCase{"Oversized", 0, "5", nullptr, "",  // still valid, but beyond 4 KiB
                   [](T& t) {
                     t.EditFile(t.SignaturePath(),
                                "^untrusted comment: ", "$&" + std::string(4096, 'x'));
                   },
                   kRefused},
        SignedCase{"ManifestChanged", 0, "5", nullptr, "",
                   [](T& t) { t.EditFile(t.ManifestPath(), "2\\.0\\.0\\.0", "9.0"); }, kRefused},
        SignedCase{"CommentChanged", 0, "5", nullptr, "",
                   [](T& t) { t.EditFile(t.SignaturePath(), "sequence=5", "sequence=9"); },
                   kRefused},
        SignedCase{"NoSequence", 0, "5", nullptr, "",
                   [](T& t) { t.ResignManifest("timestamp:1\tfile:update.xml"); }, kRefused},
        SignedCase{"LowerSequence", 0, "9", "10", "", nullptr, kRefused},
        SignedCase{"EqualSequence", 0, "10", "10", "", nullptr, kDone},
        SignedCase{"Expired", 0, "5", nullptr, "2000-01-01T00:00:00Z", nullptr, kRefused},
        SignedCase{"NotYetExpired", 0, "5", nullptr, "2999-12-31T23:59:59Z", nullptr, kDone},
        SignedCase{"WrongSha256", 0, "5", nullptr, "",
                   [](T& t) { t.EditAndResign(" sha256=\"[0-9a-f]{64}\"", kWrongDigest); },
                   kFailed},
        SignedCase{"NoSha256", 0, "5", nullptr, "",
                   [](T& t) { t.EditAndResign(" sha256=\"[0-9a-f]{64}\"", ""); }, kFailed},
        SignedCase{"CrLfAsServed", 0, "5", nullptr, "", [](T& t) { t.EditAndResign("\n", "\r\n"); },
                   kDone}),
    [](const testing::TestParamInfo<SignedCase>& info) { return std::string(info.param.name); });

class SignedUpdateEdgeTest : public update_test::UpdateFixture {};

TEST_F(SignedUpdateEdgeTest, ManifestLeftByAnEarlierRunIsNeverTrusted) {
  PublishSigned("2.0", {{"n.txt", "n", "", "file"}}, "5");
  fs::copy_file(www() + update_test::kManifestUrlPath, content() + "/update.xml");
  fs::copy_file(SignaturePath(), content() + "/update.xml.minisig");
  fs::remove(www() + update_test::kManifestUrlPath);
  EXPECT_EQ(RunUpdate(ShortLimits(), TrustedKeys()), UpdateOutcome::kNoManifest);
  EXPECT_FALSE(Exists(app() + "n.txt"));
  EXPECT_FALSE(Exists(content() + "/update.xml"));
  EXPECT_EQ(RecordedVersion(), "1.0.0.0");
}

TEST_F(SignedUpdateEdgeTest, UnkeyedBuildIgnoresSignaturesAndSha256) {
  Publish("2.0", {{"n.txt", "n", "", "file"}});
  EditManifest("sha256=\"", "sha256=\"not a digest");
  WriteFile(SignaturePath(), "not a signature");
  EXPECT_EQ(RunUpdate(ShortLimits(), UpdateTrust()), UpdateOutcome::kCompleted);
  EXPECT_EQ(ReadFile(app() + "n.txt"), "n");
  EXPECT_EQ(RecordedSequence(), "<none>");
}

}  // namespace
