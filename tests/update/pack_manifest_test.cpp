// quillory-pack manifest: what it writes is what the update sequence reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pack_commands.h"
#include "update/manifest.h"
#include "update/test_support.h"
#include "util/md5.h"
#include "util/text.h"

namespace {

using update_test::TempFolder;
using update_test::WriteFile;

int RunManifest(std::vector<std::string> args) {
  args.insert(args.begin(), "manifest");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  return RunManifestCommand(static_cast<int>(argv.size()), argv.data());
}

TEST(PackManifestTest, WritesNameDigestSizeAndValuesInOrder) {
  TempFolder folder;
  const std::string bytes = update_test::SampleBytes(3000, 3);
  WriteFile(folder.path() + "/课本.vkp", bytes);
  WriteFile(folder.path() + "/tool.exe", "");
  const std::string out = folder.path() + "/update.xml";
  ASSERT_EQ(RunManifest({"--version", "3.1.0.0", "--out", out,
                         folder.path() + "/课本.vkp,教材/,http://h/a,b/课本.vkp,package",
                         folder.path() + "/tool.exe,,http://h/tool.exe,main"}),
            0);
  const auto manifest = LoadManifest(FsNameToWide(out));
  ASSERT_TRUE(manifest);
  EXPECT_EQ(manifest->version, L"3.1.0.0");
  ASSERT_EQ(manifest->items.size(), 2u);
  const ManifestItem& item = manifest->items[0];
  EXPECT_EQ(item.file_name, L"课本.vkp");
  std::string upper = MD5File(folder.path() + "/课本.vkp").value();
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(WideToFsName(item.md5), upper);
  EXPECT_EQ(item.folder, L"教材/");
  EXPECT_EQ(item.size, 3000);
  EXPECT_EQ(item.url, L"http://h/a,b/课本.vkp");  // commas inside the URL stay
  EXPECT_EQ(item.kind, L"package");
  EXPECT_EQ(manifest->items[1].size, 0);
  EXPECT_EQ(manifest->items[1].sha256,
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");  // of no bytes
  EXPECT_EQ(manifest->items[1].folder, L"");
  // Non-ASCII text is stored in the code page, not in UTF-8.
  EXPECT_NE(update_test::ReadFile(out).find(WideToAnsi(L"教材/")), std::string::npos);
}

TEST(PackManifestTest, RefusesBadArgumentsAndUnreadableFiles) {
  TempFolder folder;
  const std::string out = folder.path() + "/update.xml";
  EXPECT_EQ(RunManifest({"--out", out}), 2);                                   // no version
  EXPECT_EQ(RunManifest({"--version", "1", "--out", out, "just-a-path"}), 2);  // not an item
  EXPECT_EQ(RunManifest({"--version", "1", "--out", out, folder.path() + "/missing,,u,k"}), 1);
  EXPECT_FALSE(update_test::Exists(out));
  // Signing needs a key and a sequence, and fields the program can read.
  const std::string key = folder.path() + "/encrypted.key";
  WriteFile(key, "untrusted comment: x\nRWRTY0IyAAAA\n");
  for (const auto& bad : std::vector<std::vector<std::string>>{
           {"--sign", key},
           {"--sequence", "3"},
           {"--sign", key, "--sequence", "x3"},
           {"--sign", key, "--sequence", "3", "--expires", "2030-01-01"}}) {
    std::vector<std::string> args = {"--version", "1", "--out", out};
    args.insert(args.end(), bad.begin(), bad.end());
    EXPECT_EQ(RunManifest(args), 2) << bad[0];
  }
  EXPECT_EQ(RunManifest({"--version", "1", "--out", out, "--sign", key, "--sequence", "3"}), 1);
  EXPECT_FALSE(update_test::Exists(out));
}

}  // namespace
