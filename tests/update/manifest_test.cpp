// Reading the manifest by position, and the names it may carry.
#include "update/manifest.h"

#include <gtest/gtest.h>

#include "update/test_support.h"
#include "util/text.h"

namespace {

constexpr const char* kSixAttributes =
    R"(name="a.txt" md5="ABC" folder="sub/" size="12" url="http://h/a.txt" kind="file")";

TEST(ManifestTest, ReadsByPositionNotByName) {
  const auto manifest =
      ParseManifest(R"(<?xml version="1.0"?><!-- published --><x v="2.0.0.1" other="9">)"
                    R"(<i z="f.bin" y="0123" x="dir/" w=" 42kb" v="http://h/f" u="main"/></x>)");
  ASSERT_TRUE(manifest);
  EXPECT_EQ(manifest->version, L"2.0.0.1");
  ASSERT_EQ(manifest->items.size(), 1u);
  const ManifestItem& item = manifest->items[0];
  EXPECT_EQ(item.file_name, L"f.bin");
  EXPECT_EQ(item.md5, L"0123");
  EXPECT_EQ(item.folder, L"dir/");
  EXPECT_EQ(item.size, 42);
  EXPECT_EQ(item.url, L"http://h/f");
  EXPECT_EQ(item.kind, L"main");
}

TEST(ManifestTest, SeventhAttributeIsIgnored) {
  const auto manifest =
      ParseManifest(std::string("<u v=\"1\"><i ") + kSixAttributes + " extra=\"ignored\"/></u>");
  ASSERT_TRUE(manifest);
  ASSERT_EQ(manifest->items.size(), 1u);
  EXPECT_EQ(manifest->items[0].kind, L"file");
}

TEST(ManifestTest, Sha256IsTheAttributeOfThatNameAfterTheSix) {
  const auto manifest = ParseManifest(std::string("<u v=\"1\"><i ") + kSixAttributes +
                                      " x=\"1\" sha256=\"ab\"/><i sha256=\"n\" b=\"X\" c=\"\" "
                                      "d=\"1\" e=\"u\" f=\"file\"/></u>");
  ASSERT_TRUE(manifest);
  ASSERT_EQ(manifest->items.size(), 2u);
  EXPECT_EQ(manifest->items[0].sha256, "ab");
  EXPECT_EQ(manifest->items[1].file_name, L"n");
  EXPECT_EQ(manifest->items[1].sha256, "");
}

TEST(ManifestTest, CommentsAndTextBetweenItemsAreNotItems) {
  const auto manifest = ParseManifest(std::string("<u v=\"1\">text<i ") + kSixAttributes +
                                      "/><!-- between -->more<i " + kSixAttributes + "/></u>");
  ASSERT_TRUE(manifest);
  EXPECT_EQ(manifest->items.size(), 2u);
}

TEST(ManifestTest, RootsFirstAttributeIsTheVersionWhateverItsName) {
  const auto manifest = ParseManifest(R"(<u date="2024-05-01" version="3.0"/>)");
  ASSERT_TRUE(manifest);
  EXPECT_EQ(manifest->version, L"2024-05-01");
  EXPECT_TRUE(manifest->items.empty());
}

TEST(ManifestTest, ValuesAreCodePageBytes) {
  // "课本" in the legacy code page, as the manifest writer stores it.
  const std::string name = WideToAnsi(L"课本.txt");
  const auto manifest =
      ParseManifest("<?xml version=\"1.0\" encoding=\"GBK\"?><u v=\"1\"><i n=\"" + name +
                    "\" m=\"A\" f=\"\" s=\"1\" u=\"http://h/\" k=\"x\"/></u>");
  ASSERT_TRUE(manifest);
  EXPECT_EQ(manifest->items.at(0).file_name, L"课本.txt");
}

TEST(ManifestTest, MalformedManifestsAreUnusable) {
  for (const char* text : {
           "",                                                             // empty
           "<u v=\"1\"><i></u>",                                           // not well formed
           "<!-- only a comment -->",                                      // no root element
           "<u><i a=\"1\" b=\"2\" c=\"3\" d=\"4\" e=\"5\" f=\"6\"/></u>",  // root without attribute
           "<u v=\"1\"><i a=\"1\" b=\"2\" c=\"3\" d=\"4\" e=\"5\"/></u>",  // five attributes
           "<u v=\"1\" v=\"2\"/>",                                         // duplicate attribute
       }) {
    EXPECT_FALSE(ParseManifest(text)) << text;
  }
}

TEST(ManifestTest, LoadsFromFileAndRefusesMissingFile) {
  update_test::TempFolder folder;
  const std::string path = folder.path() + "/update.xml";
  update_test::WriteFile(path, std::string("<u v=\"5\"><i ") + kSixAttributes + "/></u>");
  const auto manifest = LoadManifest(FsNameToWide(path));
  ASSERT_TRUE(manifest);
  EXPECT_EQ(manifest->version, L"5");
  EXPECT_FALSE(LoadManifest(FsNameToWide(folder.path() + "/missing.xml")));
}

}  // namespace
