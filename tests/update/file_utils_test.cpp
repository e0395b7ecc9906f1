// File helpers of the update sequence, on a real temporary folder.
#include "update/file_utils.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "update/test_support.h"
#include "util/text.h"

namespace {

using update_test::Exists;
using update_test::TempFolder;
using update_test::WriteFile;

std::wstring Wide(const std::string& path) { return FsNameToWide(path); }

TEST(GetFileLengthTest, LengthOrZero) {
  TempFolder folder;
  WriteFile(folder.path() + "/five", "12345");
  WriteFile(folder.path() + "/empty", "");
  EXPECT_EQ(GetFileLength(Wide(folder.path() + "/five")), 5);
  EXPECT_EQ(GetFileLength(Wide(folder.path() + "/empty")), 0);
  EXPECT_EQ(GetFileLength(Wide(folder.path() + "/missing")), 0);
  EXPECT_EQ(GetFileLength(Wide(folder.path())), 0);  // a folder is not a file
}

TEST(GetFileLengthTest, KeepsLengthsBeyondTwoGigabytes) {
  TempFolder folder;
  const std::string path = folder.path() + "/sparse";
  WriteFile(path, "");
  std::filesystem::resize_file(path, (std::uintmax_t{1} << 32) + 7);  // sparse, no disk used
  EXPECT_EQ(GetFileLength(Wide(path)), (std::int64_t{1} << 32) + 7);
}

TEST(MakeFolderPathTest, CreatesEveryMissingLevelWithOrWithoutTrailingSeparator) {
  TempFolder folder;
  EXPECT_TRUE(MakeFolderPath(folder.path() + "/a/b/c"));
  EXPECT_TRUE(std::filesystem::is_directory(folder.path() + "/a/b/c"));
  EXPECT_TRUE(MakeFolderPath(folder.path() + "/x\\y/"));  // both separators
  EXPECT_TRUE(std::filesystem::is_directory(folder.path() + "/x/y"));
  EXPECT_TRUE(MakeFolderPath(folder.path() + "/a/b/c/"));   // all exist: nothing to do
  EXPECT_TRUE(MakeFolderPath(folder.path() + "//a//d//"));  // doubled separators
  EXPECT_TRUE(std::filesystem::is_directory(folder.path() + "/a/d"));
}

TEST(MakeFolderPathTest, FailsBelowAFileAndKeepsWhatItMade) {
  TempFolder folder;
  WriteFile(folder.path() + "/made/file", "x");
  EXPECT_FALSE(MakeFolderPath(folder.path() + "/made/file/below/deeper"));
  EXPECT_FALSE(Exists(folder.path() + "/made/file/below"));
}

TEST(MakeFolderPathTest, FirstComponentOfARelativePathIsLeftAlone) {
  EXPECT_TRUE(MakeFolderPath("quillory-never-created-folder"));
  EXPECT_FALSE(Exists("quillory-never-created-folder"));
}

TEST(DeleteFolderTreeTest, DeletesEverythingButDotNamesAndTheirFolders) {
  TempFolder folder;
  const std::string root = folder.path() + "/staging";
  WriteFile(root + "/a/one", "1");
  WriteFile(root + "/a/b/two", "2");
  WriteFile(root + "/keep/.dot", "3");
  WriteFile(root + "/three", "4");
  DeleteFolderTree(Wide(root));
  EXPECT_FALSE(Exists(root + "/a"));
  EXPECT_FALSE(Exists(root + "/three"));
  EXPECT_TRUE(Exists(root + "/keep/.dot"));
  DeleteFolderTree(Wide(root + "/keep/"));  // with a trailing separator
  EXPECT_TRUE(Exists(root + "/keep/.dot"));
}

TEST(DeleteFolderTreeTest, RemovesALinkWithoutFollowingIt) {
  TempFolder folder;
  WriteFile(folder.path() + "/outside/precious", "keep");
  WriteFile(folder.path() + "/staging/file", "x");
  if (!update_test::MakeSymlink(folder.path() + "/outside", folder.path() + "/staging/link",
                                true)) {
    GTEST_SKIP() << "no links can be made on this system";
  }
  DeleteFolderTree(Wide(folder.path() + "/staging"));
  EXPECT_FALSE(Exists(folder.path() + "/staging"));
  EXPECT_EQ(update_test::ReadFile(folder.path() + "/outside/precious"), "keep");
}

TEST(DeleteFolderTreeTest, MissingFolderIsNothing) {
  TempFolder folder;
  DeleteFolderTree(Wide(folder.path() + "/missing"));
  EXPECT_TRUE(Exists(folder.path()));
}

}  // namespace
