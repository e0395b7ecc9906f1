// Mapping of request paths to content files, and the scrambling.
#include "server/content_store.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/fs.h"
#include "server/server_fixture.h"
#include "util/text.h"

namespace {

struct MappingCase {
  const char* request_path;  // UTF-8
  const char* store_file;    // below the content folder; "" for refused
};

// Digests computed independently (Python hashlib over the GBK bytes of the
// store path).
const MappingCase kStoreCases[] = {
    {"/000000/kvr_entrance.html", "/000000/5614955da0c2827390d1441bcb64d7a2.vkc"},
    {"000000/kvr_entrance.html", "/000000/5614955da0c2827390d1441bcb64d7a2.vkc"},
    {"/000000/img/a.png", "/000000/872b4231c6d4505a3d13335761a6e245.vkc"},
    {"/000000/IMG/a.png", "/000000/9f1a7859b8050a58a9c014ba94dd99da.vkc"},
    {"/000000\\img\\a.png", "/000000/872b4231c6d4505a3d13335761a6e245.vkc"},
    {"/000000/中文/课文.html", "/000000/85aeb5117c074b48437d11883536a503.vkc"},
    {"/index.html", "/index.html"},
    {"/", "/"},
    {"", "/"},
    {"/../secret.txt", ""},
    {"/000000/../../x", ""},
    {"/..\\x", ""},
};

const MappingCase kDevCases[] = {
    {"/000000/kvr_entrance.html", "/000000/kvr_entrance.html"},
    {"/000000/img/a.png", "/000000/img/a.png"},
    {"/000000\\img\\a.png", "/000000/img/a.png"},
    {"/000000/中文/课文.html", "/000000/中文/课文.html"},
    {"/index.html", "/index.html"},
    {"/000000/../../etc/passwd", ""},
    {"/a/..", ""},
    {"/a/...b/c", "/a/...b/c"},
};

void ExpectMappings(const MappingCase* cases, std::size_t count, bool dev_mode) {
  ContentRoot root{"/prog/Data", dev_mode};
  for (std::size_t i = 0; i < count; ++i) {
    const MappingCase& c = cases[i];
    // The table's "/" is the platform's separator in file-system names.
    std::string expected =
        *c.store_file ? root.folder + platform::ToFsName(platform::FromFsName(c.store_file)) : "";
    std::wstring wide = platform::FromFsName(c.request_path);
    EXPECT_EQ(ContentFileName(root, wide), expected) << c.request_path;
    // The same path handed over as code-page bytes maps to the same file.
    EXPECT_EQ(ContentFileNameFromAnsi(root, WideToAnsi(wide)), expected) << c.request_path;
  }
}

TEST(ContentStoreTest, MapsRequestPathsToStoreNames) {
  ExpectMappings(kStoreCases, std::size(kStoreCases), false);
}

TEST(ContentStoreTest, MapsRequestPathsToPlainNamesInDeveloperMode) {
  ExpectMappings(kDevCases, std::size(kDevCases), true);
}

TEST(ContentStoreTest, OpensTheRootOverTheGivenFolderAndMode) {
  test::ProgramFolder store(false);
  ContentRoot root = OpenContentRoot(store.content().string(), false);
  EXPECT_EQ(root.folder, (store.root() / "Data").string());
  EXPECT_FALSE(root.dev_mode);
  EXPECT_NE(root.opened, nullptr);
  ContentRoot missing = OpenContentRoot((store.root() / "Deve").string(), true);
  EXPECT_TRUE(missing.dev_mode);
  EXPECT_EQ(missing.opened, nullptr);  // then opened for every file
}

TEST(ContentStoreTest, OpensOnlyRegularFilesAndAllowsParallelOpenings) {
  test::ProgramFolder folder(false);
  folder.WriteContent("/000000/a.html", "hello");
  const ContentRoot root = folder.Root();
  auto first = OpenContentFile(root, L"/000000/a.html");
  auto second = OpenContentFile(root, L"/000000/a.html");
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->Size(), 5u);
  EXPECT_FALSE(OpenContentFile(root, L"/"));
  EXPECT_FALSE(OpenContentFile(root, L"/000000"));  // a folder
  EXPECT_FALSE(OpenContentFile(root, L"/000000/missing.html"));
}

TEST(ContentStoreTest, ScramblingTwiceGivesBackThePlainBytes) {
  for (std::size_t size : {0u, 1u, 7u, 8u, 9u, 255u, 256u, 4097u}) {
    std::string plain = test::PatternBytes(size, static_cast<unsigned>(size) + 3);
    std::string bytes = plain;
    ScrambleBytes(bytes.data(), bytes.size(), bytes.size());
    EXPECT_EQ(bytes, test::Scrambled(plain)) << size;
    ScrambleBytes(bytes.data(), bytes.size(), bytes.size());
    EXPECT_EQ(bytes, plain) << size;
  }
}

TEST(ContentStoreTest, UnscramblesAnySliceWithTheKeyOfTheWholeLength) {
  std::string plain = test::PatternBytes(1000);
  std::string stored = test::Scrambled(plain);
  std::string slice = stored.substr(333, 101);
  ScrambleBytes(slice.data(), slice.size(), stored.size());
  EXPECT_EQ(slice, plain.substr(333, 101));
  EXPECT_EQ(ScrambleKey(256), ScrambleKey(512));
  EXPECT_NE(ScrambleKey(256), ScrambleKey(257));
}

TEST(ContentStoreTest, KeepsOnlyLowerCaseXmlPathsPlain) {
  EXPECT_TRUE(IsStoredPlain(std::wstring(L"/000000/pro.xml")));
  EXPECT_FALSE(IsStoredPlain(std::wstring(L"/000000/pro.XML")));
  EXPECT_FALSE(IsStoredPlain(std::wstring(L"/000000/pro.xmlx")));
  EXPECT_FALSE(IsStoredPlain(std::wstring(L"xml")));
  EXPECT_TRUE(IsStoredPlain(std::string("/a.xml")));
}

}  // namespace
