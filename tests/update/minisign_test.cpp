// Our minisign files against Debian's minisign program, both ways, with key
// pairs made by either side.
#include "update/minisign.h"

#include <gtest/gtest.h>

#include "pack_commands.h"
#include "pack_sign.h"
#include "update/update_fixture.h"

namespace {

using update_test::ReadFile;
using update_test::RunProcess;

constexpr const char* kMinisign = "/usr/bin/minisign";

class MinisignInteropTest : public testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(update_test::Exists(kMinisign)) << "minisign is installed by install-deps.sh";
    if (GetParam()) {
      ASSERT_EQ(RunProcess({kMinisign, "-G", "-W", "-p", pub(), "-s", key()}, "/dev/null"), 0);
    } else {
      ASSERT_EQ(update_test::RunPack({"keygen", dir()}, &RunKeygenCommand), 0);
    }
    update_test::WriteFile(dir() + "/update.xml", "<update version=\"2.0\"/>\r\n");
  }
  std::string dir() const { return folder_.path(); }
  std::string pub() const { return dir() + "/" + kPublicKeyFileName; }
  std::string key() const { return dir() + "/" + kSecretKeyFileName; }
  update_test::TempFolder folder_;
};

TEST_P(MinisignInteropTest, PackToolSignatureVerifiesWithMinisign) {
  const std::string out = dir() + "/update.xml";
  ASSERT_EQ(update_test::RunPack({"manifest", "--version", "2.0", "--out", out, "--sign", key(),
                                  "--sequence", "3", "--expires", "2999-01-01T00:00:00Z"},
                                 &RunManifestCommand),
            0);
  const std::string comment = dir() + "/comment.txt";
  EXPECT_EQ(RunProcess({kMinisign, "-V", "-Q", "-p", pub(), "-m", out}, comment), 0);
  EXPECT_EQ(ReadFile(comment), "sequence=3 expires=2999-01-01T00:00:00Z\n");
}

TEST_P(MinisignInteropTest, MinisignSignatureVerifiesHere) {
  const std::string message = dir() + "/update.xml";
  const auto public_key = ParseMinisignPublicKeyFile(ReadFile(pub()));
  ASSERT_TRUE(public_key);
  for (const bool legacy : {false, true}) {
    std::vector<std::string> sign = {kMinisign, "-S",    "-s", key(),
                                     "-m",      message, "-t", "sequence=3"};
    if (legacy) sign.push_back("-l");
    ASSERT_EQ(RunProcess(sign, "/dev/null"), 0);
    const std::string signature = ReadFile(message + ".minisig");
    std::string comment = "refused";
    EXPECT_TRUE(VerifyMinisign(ReadFile(message), signature, {*public_key}, &comment));
    EXPECT_EQ(comment, "sequence=3") << signature;
    EXPECT_FALSE(VerifyMinisign(ReadFile(message) + " ", signature, {*public_key}, &comment));
  }
}

INSTANTIATE_TEST_SUITE_P(KeyMadeBy, MinisignInteropTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "Minisign" : "PackTool";
                         });

}  // namespace
