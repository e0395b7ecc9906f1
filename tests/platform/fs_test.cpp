// File-system stand-ins.
#include "platform/fs.h"

#include <sys/stat.h>

#include <filesystem>

#include "per_platform.h"
#include "platform/temp_folder.h"
#include "wide_text.h"

namespace {

using platform::DirEntry;

class FsTest : public TempFolderTest {};

// The path of a wide name, through its UTF-8 file-system name on every platform.
std::filesystem::path AsPath(const std::wstring& wide) {
  return std::filesystem::u8path(platform::ToFsName(wide));
}

TEST_F(FsTest, FsNamesAreUtf8WithPlatformSeparators) {
  const std::wstring smiley = WideCodePoint(0x1F600);
  const PerPlatform<std::string> fs_name{"a/b/\xE4\xB8\xAD\xF0\x9F\x98\x80",
                                         "a\\b\\\xE4\xB8\xAD\xF0\x9F\x98\x80"};
  EXPECT_EQ(platform::ToFsName(L"a\\b/\x4E2D" + smiley), fs_name.Here());
  EXPECT_EQ(platform::FromFsName("a/\xE4\xB8\xAD\xF0\x9F\x98\x80"), L"a/\x4E2D" + smiley);
  // Invalid bytes (a lone continuation byte, a truncated sequence) decode as U+FFFD.
  EXPECT_EQ(platform::FromFsName("x\x80y\xE4\xB8"), L"x\xFFFDy\xFFFD\xFFFD");
}

TEST_F(FsTest, ExistenceKindAndSize) {
  Write("file.txt", "12345");
  std::filesystem::create_directory(m_root / "dir");
  EXPECT_TRUE(platform::PathExists(WPath("file.txt")));
  EXPECT_TRUE(platform::PathExists(WPath("dir")));
  EXPECT_FALSE(platform::PathExists(WPath("none")));
  EXPECT_TRUE(platform::IsDirectory(WPath("dir")));
  EXPECT_FALSE(platform::IsDirectory(WPath("file.txt")));
  EXPECT_EQ(platform::FileSize(WPath("file.txt")), 5u);
  EXPECT_FALSE(platform::FileSize(WPath("dir")).has_value());
  EXPECT_FALSE(platform::FileSize(WPath("none")).has_value());
  // Backslashes in the path count as separators.
  EXPECT_TRUE(platform::PathExists(m_root.wstring() + L"\\file.txt"));
}

TEST_F(FsTest, ReadOnlyIsTheMissingWriteBit) {
  Write("ro.txt", "x");
  Write("rw.txt", "x");
  ::chmod(Path("ro.txt").c_str(), 0444);
  EXPECT_TRUE(platform::IsReadOnly(WPath("ro.txt")));
  EXPECT_FALSE(platform::IsReadOnly(WPath("rw.txt")));
  EXPECT_FALSE(platform::IsReadOnly(WPath("none")));
}

TEST_F(FsTest, CopyHonoursOverwriteFlag) {
  Write("a", "new");
  Write("b", "old");
  EXPECT_FALSE(platform::CopyFileTo(WPath("a"), WPath("b"), false));
  EXPECT_EQ(Read("b"), "old");
  EXPECT_TRUE(platform::CopyFileTo(WPath("a"), WPath("b"), true));
  EXPECT_EQ(Read("b"), "new");
  EXPECT_TRUE(platform::CopyFileTo(WPath("a"), WPath("c"), false));
  EXPECT_EQ(Read("c"), "new");
  EXPECT_FALSE(platform::CopyFileTo(WPath("none"), WPath("d"), true));
}

TEST_F(FsTest, DeleteRemovesFilesOnly) {
  Write("f", "x");
  std::filesystem::create_directory(m_root / "dir");
  EXPECT_TRUE(platform::DeleteFileAt(WPath("f")));
  EXPECT_FALSE(platform::PathExists(WPath("f")));
  EXPECT_FALSE(platform::DeleteFileAt(WPath("f")));
  EXPECT_FALSE(platform::DeleteFileAt(WPath("dir")));
  EXPECT_TRUE(platform::IsDirectory(WPath("dir")));
}

TEST_F(FsTest, DeletingTheRunningExecutableIsRefused) {
  const std::wstring exe = platform::ExecutablePath();
  ASSERT_FALSE(exe.empty());
  EXPECT_FALSE(platform::DeleteFileAt(exe));
  EXPECT_TRUE(platform::PathExists(exe));
  // Another name for the same file is the same executable.
  std::error_code ec;
  std::filesystem::create_hard_link(AsPath(exe), FsPath("alias"), ec);
  if (!ec) {
    EXPECT_FALSE(platform::DeleteFileAt(WPath("alias")));
    EXPECT_TRUE(platform::PathExists(WPath("alias")));
  }
  // A symbolic link to it is only a link (where the system lets this
  // program make one: not under Wine, nor on Windows without the privilege).
  std::filesystem::create_symlink(AsPath(exe), FsPath("link"), ec);
  if (!ec) {
    EXPECT_TRUE(platform::DeleteFileAt(WPath("link")));
    EXPECT_TRUE(platform::PathExists(exe));
  }
}

TEST_F(FsTest, MoveReplacesTarget) {
  Write("from", "moved");
  Write("to", "old");
  EXPECT_TRUE(platform::MoveFileTo(WPath("from"), WPath("to")));
  EXPECT_FALSE(platform::PathExists(WPath("from")));
  EXPECT_EQ(Read("to"), "moved");
  EXPECT_FALSE(platform::MoveFileTo(WPath("from"), WPath("to")));
}

TEST_F(FsTest, CreateAndRemoveFolder) {
  EXPECT_TRUE(platform::CreateFolder(WPath("sub")));
  EXPECT_FALSE(platform::CreateFolder(WPath("sub")));
  EXPECT_FALSE(platform::CreateFolder(WPath("x/y")));  // one level only
  Write("sub/f", "x");
  EXPECT_FALSE(platform::RemoveFolder(WPath("sub")));
  std::filesystem::remove(m_root / "sub" / "f");
  EXPECT_TRUE(platform::RemoveFolder(WPath("sub")));
  EXPECT_FALSE(platform::PathExists(WPath("sub")));
}

TEST_F(FsTest, ListFolderSortsWithoutRegardToCase) {
  for (const char* name : {"b.txt", "A.txt", "c", "B2", "a1", "\xE4\xB8\xAD"}) Write(name, "x");
  std::filesystem::create_directory(m_root / "Dir");
  const std::vector<DirEntry> entries = platform::ListFolder(m_root.wstring());
  std::vector<std::wstring> names;
  for (const auto& entry : entries) {
    names.push_back(entry.name);
    EXPECT_EQ(entry.is_directory, entry.name == L"Dir") << entry.name;
  }
  const std::vector<std::wstring> expected = {L"A.txt", L"a1",  L"b.txt", L"B2",
                                              L"c",     L"Dir", L"\x4E2D"};
  EXPECT_EQ(names, expected);
  EXPECT_TRUE(platform::ListFolder(WPath("none")).empty());
}

TEST_F(FsTest, ExecutablePathIsThisProgram) {
  const std::filesystem::path exe = AsPath(platform::ExecutablePath());
  EXPECT_TRUE(exe.is_absolute()) << exe;
  EXPECT_TRUE(std::filesystem::equivalent(exe, QUILLORY_FS_TEST_EXE)) << exe;
}

}  // namespace
