// The product catalogue over real folders and real pro.xml files.
#include "commands/product_catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform_columns.h"
#include "program_folder_fixture.h"

namespace {

const std::vector<std::wstring> kTwoProducts = {L"SetLocProBar(0);", L"SetLocProBar(2);",
                                                L"SetLocProBar(2);", L"SetLocProBar(1);"};
const std::vector<std::wstring> kNoProducts = {L"SetLocProBar(0);", L"SetLocProBar(1);"};
const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n";

class ProductCatalogueTest : public ProgramFolderTest {
 protected:
  void WriteProduct(const std::string& folder, const std::string& xml) {
    WriteBytes(Content() / folder / "pro.xml", xml);
  }
  std::string RunAndReadList() {
    GetLocalProduct(host_);
    return ReadBytes(Content() / "localList.xml");
  }
  // The list file is written in text mode, so its line ends are the system's.
  static std::string ListOf(const std::string& children) {
    return WithTextModeLineEnds(kDeclaration + "<ProductList>\n" + children + "</ProductList>\n");
  }
};

TEST_F(ProductCatalogueTest, ListsFoldersWithProXmlAndSkipsTheOthers) {
  WriteProduct("100101", "<Product id=\"100101\" />");
  std::filesystem::create_directories(Content() / "100102");  // no pro.xml
  WriteProduct("100103", "<Product id=\"100103\" />");

  EXPECT_EQ(RunAndReadList(), ListOf("    <Product id=\"100101\" />\n"
                                     "    <Product id=\"100103\" />\n"));
  EXPECT_EQ(host_.Statements(), kTwoProducts);
}

TEST_F(ProductCatalogueTest, ListsProductsInCaseInsensitiveNameOrder) {
  WriteProduct("b", "<P n=\"b\" />");
  WriteProduct("C", "<P n=\"C\" />");
  WriteProduct("a", "<P n=\"a\" />");

  EXPECT_EQ(RunAndReadList(), ListOf("    <P n=\"a\" />\n    <P n=\"b\" />\n    <P n=\"C\" />\n"));
}

TEST_F(ProductCatalogueTest, CopiesOnlyTheFirstElementWithItsWholeSubtree) {
  WriteProduct("7",
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- made by hand -->\n"
               "<Product id=\"7\" name=\"Maths\"><Book title=\"One\">Text</Book><Cover/>"
               "</Product>\n<Second id=\"8\"/>\n");

  EXPECT_EQ(RunAndReadList(), ListOf("    <Product id=\"7\" name=\"Maths\">\n"
                                     "        <Book title=\"One\">Text</Book>\n"
                                     "        <Cover />\n"
                                     "    </Product>\n"));
}

TEST_F(ProductCatalogueTest, CopiesNonAsciiBytesUnchanged) {
  // UTF-8 with a declaration, and code-page (GBK) bytes without one.
  WriteProduct("1",
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
               "<\xE4\xBA\xA7\xE5\x93\x81 \xE5\x90\x8D=\"\xE6\x95\xB0\xE5\xAD\xA6\">"
               "\xE4\xB8\x83\xE5\xB9\xB4\xE7\xBA\xA7</\xE4\xBA\xA7\xE5\x93\x81>");
  WriteProduct("2", "<Product name=\"\xCA\xFD\xD1\xA7\">\xC6\xDF\xC4\xEA\xBC\xB6</Product>");

  EXPECT_EQ(RunAndReadList(),
            ListOf("    <\xE4\xBA\xA7\xE5\x93\x81 \xE5\x90\x8D=\"\xE6\x95\xB0\xE5\xAD\xA6\">"
                   "\xE4\xB8\x83\xE5\xB9\xB4\xE7\xBA\xA7</\xE4\xBA\xA7\xE5\x93\x81>\n"
                   "    <Product name=\"\xCA\xFD\xD1\xA7\">\xC6\xDF\xC4\xEA\xBC\xB6</Product>\n"));
}

struct LeftOutCase {
  const char* name;
  void (*make)(const std::filesystem::path& product_dir);
};

class ProductLeftOutTest : public ProductCatalogueTest,
                           public ::testing::WithParamInterface<LeftOutCase> {};

// Each case spoils the description of folder "2" between two good products:
// it is left out without a progress call, and the scan goes on.
TEST_P(ProductLeftOutTest, LeavesTheProductOutWithoutProgressCall) {
  WriteProduct("1", "<P n=\"1\" />");
  GetParam().make(Content() / "2");
  WriteProduct("3", "<P n=\"3\" />");

  EXPECT_EQ(RunAndReadList(), ListOf("    <P n=\"1\" />\n    <P n=\"3\" />\n"));
  EXPECT_EQ(host_.Statements(), kTwoProducts);
}

INSTANTIATE_TEST_SUITE_P(
    Spoilt, ProductLeftOutTest,
    ::testing::Values(LeftOutCase{"FolderNamedProXml",
                                  [](const std::filesystem::path& dir) {
                                    std::filesystem::create_directories(dir / "pro.xml");
                                  }},
                      LeftOutCase{"EmptyFile",
                                  [](const std::filesystem::path& dir) {
                                    WriteBytes(dir / "pro.xml", "");
                                  }},
                      LeftOutCase{"DoesNotParse",
                                  [](const std::filesystem::path& dir) {
                                    WriteBytes(dir / "pro.xml", "<Product id=\"2\"><Open>");
                                  }},
                      LeftOutCase{"EndsInAUtf8LeadByte",
                                  [](const std::filesystem::path& dir) {
                                    WriteBytes(dir / "pro.xml", "<Product id=\"2\">&\xF0");
                                  }},
                      LeftOutCase{"DeclarationAndCommentOnly",
                                  [](const std::filesystem::path& dir) {
                                    WriteBytes(dir / "pro.xml",
                                               "<?xml version=\"1.0\"?>\n<!-- nothing here -->\n");
                                  }},
                      LeftOutCase{"DescriptionInASubfolderOnly",
                                  [](const std::filesystem::path& dir) {
                                    WriteBytes(dir / "inner" / "pro.xml", "<P n=\"x\" />");
                                  }}),
    [](const ::testing::TestParamInfo<LeftOutCase>& info) { return info.param.name; });

TEST_F(ProductCatalogueTest, IgnoresPlainFilesInTheContentFolder) {
  WriteProduct("1", "<P n=\"1\" />");
  WriteBytes(Content() / "100200", "<P n=\"file\" />");
  WriteBytes(Content() / "pro.xml", "<P n=\"root\" />");
  WriteProduct("3", "<P n=\"3\" />");

  EXPECT_EQ(RunAndReadList(), ListOf("    <P n=\"1\" />\n    <P n=\"3\" />\n"));
  EXPECT_EQ(host_.Statements(), kTwoProducts);
}

TEST_F(ProductCatalogueTest, EmptyContentFolderGivesAnEmptyList) {
  EXPECT_EQ(RunAndReadList(), WithTextModeLineEnds(kDeclaration + "<ProductList />\n"));
  EXPECT_EQ(host_.Statements(), kNoProducts);
}

TEST_F(ProductCatalogueTest, MissingContentFolderStillEndsTheProgress) {
  std::filesystem::remove_all(Content());
  GetLocalProduct(host_);
  EXPECT_EQ(host_.Statements(), kNoProducts);
  EXPECT_FALSE(std::filesystem::exists(Content()));
}

TEST_F(ProductCatalogueTest, EachCallRebuildsTheListFromScratch) {
  WriteProduct("1", "<P n=\"1\" />");
  WriteProduct("2", "<P n=\"2\" />");
  RunAndReadList();
  std::filesystem::remove_all(Content() / "1");

  EXPECT_EQ(RunAndReadList(), ListOf("    <P n=\"2\" />\n"));
}

TEST_F(ProductCatalogueTest, FailedWriteKeepsTheEarlierListWhole) {
  WriteProduct("1", "<P n=\"1\" />");
  const std::string earlier = RunAndReadList();
  WriteProduct("2", "<P n=\"2\" />");
  // The temporary file cannot be created where a folder of its name stands.
  std::filesystem::create_directories(Content() / "localList.xml.tmp" / "x");
  host_.log.clear();

  EXPECT_FALSE(WriteLocalProductList(Content().wstring(), nullptr));
  GetLocalProduct(host_);
  EXPECT_EQ(ReadBytes(Content() / "localList.xml"), earlier);
  EXPECT_EQ(host_.Statements(), kTwoProducts);
}

TEST_F(ProductCatalogueTest, LeavesNoTemporaryFileBehind) {
  WriteProduct("1", "<P n=\"1\" />");
  EXPECT_TRUE(WriteLocalProductList(Content().wstring(), nullptr));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(Content())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"1", "localList.xml"}));
}

}  // namespace
