// UnzipArchive on bad archives and hostile names: every failure is reported,
// nothing escapes the target folder, and a failed entry never leaves a
// cut-short file where a good one was.
#include <algorithm>
#include <fstream>

#include "per_platform.h"
#include "util/zip.h"
#include "zip/sandbox.h"
#include "zip/zip_builder.h"

namespace ziptest {
namespace {

namespace fs = std::filesystem;
using Names = std::set<std::string>;

class UnzipFaultsTest : public Sandbox {
 protected:
  Outcome Unzip() { return UnzipArchive(Wide(Archive()), Wide(Target())); }
};

TEST_F(UnzipFaultsTest, MissingOrForeignArchivesFail) {
  EXPECT_EQ(Unzip().reason(), "archive file cannot be opened");
  ASSERT_TRUE(WriteWhole(Archive(), "This is a text file with a .vkp extension.\n"));
  EXPECT_EQ(Unzip().reason(), "not a zip archive");
  ASSERT_TRUE(WriteWhole(Archive(), ""));
  EXPECT_FALSE(Unzip()) << "empty file";
  ASSERT_TRUE(WriteWhole(Archive(), std::string("PK\x05\x06", 4) + std::string(6, '\0') +
                                        std::string("\x01\x00", 2) + std::string(10, '\0')));
  EXPECT_FALSE(Unzip()) << "end record alone that claims an entry";
  EXPECT_TRUE(Tree(Target()).empty());
}

TEST_F(UnzipFaultsTest, TruncatedArchivesFail) {
  ASSERT_TRUE(WriteZip(Archive(), {{"a.txt", std::string(5000, 'a')}, {"b.txt", "b"}}));
  const std::string whole = ReadWhole(Archive());
  // Cut through the end record, just before it, through the central
  // directory, through the data.
  for (std::size_t keep : {whole.size() - 10, whole.size() - 22, whole.size() - 30,
                           whole.size() / 2, std::size_t{40}}) {
    SCOPED_TRACE(keep);
    ASSERT_TRUE(WriteWhole(Archive(), whole.substr(0, keep)));
    EXPECT_FALSE(Unzip());
  }
}

TEST_F(UnzipFaultsTest, CrcMismatchFailsAndKeepsTheEarlierFile) {
  std::ofstream(Target() / "page.html") << "good old page";
  ASSERT_TRUE(WriteZipWithWrongCrc(Archive(), "page.html", "new page with a wrong checksum"));
  EXPECT_EQ(Unzip().reason(), "entry page.html: CRC differs");
  EXPECT_EQ(ReadWhole(Target() / "page.html"), "good old page");
  EXPECT_EQ(Tree(Target()), (Names{"page.html"})) << "no temporary file may stay behind";
}

TEST_F(UnzipFaultsTest, CorruptedStoredDataFailsAndLeavesNoFile) {
  Entry e{"data.bin", "MARKER" + std::string(10000, 'z')};
  e.stored = true;
  ASSERT_TRUE(WriteZip(Archive(), {e}));
  ASSERT_TRUE(FlipByteAt(Archive(), "MARKER"));
  EXPECT_FALSE(Unzip());
  EXPECT_TRUE(Tree(Target()).empty());
}

TEST_F(UnzipFaultsTest, DamagedDeflateDataFails) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "line " + std::to_string(i * 7919 % 1000) + "\n";
  ASSERT_TRUE(WriteZip(Archive(), {{"text.txt", text}}));
  std::string bytes = ReadWhole(Archive());
  for (std::size_t i = 60; i < 90; ++i) bytes[i] = static_cast<char>(bytes[i] ^ 0xA5);
  ASSERT_TRUE(WriteWhole(Archive(), bytes));
  EXPECT_FALSE(Unzip());
  EXPECT_TRUE(Tree(Target()).empty());
}

TEST_F(UnzipFaultsTest, UnsupportedMethodsAndEncryptionFailBeforeWriting) {
  struct Case {
    const char* what;
    std::uint16_t method;
    std::uint16_t flag_bits;
  };
  for (const Case& c : {Case{"bzip2", 12, 0}, Case{"aes", 99, 0}, Case{"lzma", 14, 0},
                        Case{"encrypted", 8, 1}, Case{"encrypted stored", 0, 1}}) {
    SCOPED_TRACE(c.what);
    Entry first{"first.txt", "written before the bad entry?"};
    Entry bad{"bad.txt", "payload of the bad entry"};
    first.stored = bad.stored = c.method == 0;
    ASSERT_TRUE(WriteZip(Archive(), {first, bad}));
    if (c.method != 0 && c.method != 8) {
      ASSERT_TRUE(PatchMethod(Archive(), c.method));
    }
    if (c.flag_bits != 0) {
      ASSERT_TRUE(AddFlagBits(Archive(), c.flag_bits));
    }
    EXPECT_FALSE(Unzip());
    EXPECT_TRUE(Tree(Target()).empty());
  }
}

TEST_F(UnzipFaultsTest, NamesLeadingOutOfTheTargetFailBeforeWriting) {
  fs::create_directories(Target() / "a");
  ASSERT_TRUE(WriteWhole(Archive(), ""));
  const Names before = Tree(root_);
  for (const char* name : {"../x", "a/../../x", "/abs", "C:\\x", "c:x", "..\\x", "a\\..\\..\\x",
                           "\\abs", "a/b/../../../x", "..", "../"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(WriteZip(Archive(), {{"good.txt", "good"}, {name, "escaped"}}));
    EXPECT_EQ(Unzip().reason(), "entry " + std::string(name) + ": name leaves the folder");
    EXPECT_EQ(Tree(root_), before);
    EXPECT_FALSE(fs::exists("/abs"));
    EXPECT_FALSE(fs::exists("/x"));
  }
}

// A link planted in the target folder must not lead an entry elsewhere: the
// entry fails like a bad name, and later entries are not attempted.
TEST_F(UnzipFaultsTest, PlantedFolderLinksAreNotFollowed) {
  const fs::path elsewhere = root_ / "elsewhere";
  const std::pair<const char*, const char*> cases[] = {
      {"000123", "000123/x"}, {"a/b", "a/b/c/x"}, {"000123", "000123/sub/"}};
  for (const auto& [link, entry] : cases) {
    SCOPED_TRACE(entry);
    fs::remove_all(Target());
    fs::create_directories((Target() / link).parent_path());
    fs::create_directories(elsewhere);
    std::error_code ec;
    fs::create_directory_symlink(elsewhere, Target() / link, ec);
    // Wine makes no links, nor does Windows without the privilege for them.
    if (ec) GTEST_SKIP() << "this system makes no folder links: " << ec.message();
    ASSERT_TRUE(WriteZip(Archive(), {{"before.txt", "b"}, {entry, "escaped"}, {"after.txt", "a"}}));
    EXPECT_EQ(Unzip().reason().rfind("entry " + std::string(entry) + ": a folder on its path", 0),
              0u);
    EXPECT_TRUE(fs::is_empty(elsewhere));
    EXPECT_TRUE(fs::exists(Target() / "before.txt"));
    EXPECT_FALSE(fs::exists(Target() / "after.txt"));
  }
}

// Windows drops the dots at the end of a name, so there "a/b..c/..." is the
// folder "a/b..c" itself: that entry fails as any file that cannot be made
// does, and the entries after it are not attempted.
TEST_F(UnzipFaultsTest, DotsInsideNamesAreOrdinary) {
  struct Result {
    bool ok;
    Names tree;
  };
  const PerPlatform<Result> expected{{true, {"..d", "a/", "a/b..c/", "a/b..c/..."}},
                                     {false, {"a/", "a/b..c/"}}};
  ASSERT_TRUE(WriteZip(Archive(), {{"a/./b..c/...", "1"}, {"..d", "2"}}));
  const Outcome outcome = Unzip();
  EXPECT_EQ(outcome.ok(), expected.Here().ok) << outcome.reason();
  EXPECT_EQ(Tree(Target()), expected.Here().tree);
}

// Names that Windows reads as a device or a data stream are ordinary names
// elsewhere; on Windows the entry fails without opening anything.
TEST_F(UnzipFaultsTest, DeviceAndStreamNamesFailOnWindowsOnly) {
  const PerPlatform<bool> unpacked{true, false};
  for (const char* name : {"CON", "nul.txt", "sub/COM1", "sub/aux/x", "Lpt9 .log", "a.txt:s"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(WriteZip(Archive(), {{"before.txt", "b"}, {name, "x"}}));
    EXPECT_EQ(Unzip().ok(), unpacked.Here());
    EXPECT_EQ(ReadWhole(Target() / "before.txt"), "b");
  }
}

TEST_F(UnzipFaultsTest, NamesOf260BytesOrMoreFail) {
  // 259 bytes: 100 nested one-letter folders and a 59-byte file name.
  std::string folders;
  for (int i = 0; i < 100; ++i) folders += "d/";
  const std::string longest = folders + std::string(59, 'f');
  ASSERT_EQ(longest.size(), 259u);
  ASSERT_TRUE(WriteZip(Archive(), {{longest, "fits"}}));
  EXPECT_TRUE(Unzip());
  EXPECT_EQ(ReadWhole(Target() / longest), "fits");

  for (std::size_t extra : {1, 2, 200}) {
    SCOPED_TRACE(extra);
    fs::remove_all(Target() / "d");
    ASSERT_TRUE(WriteZip(Archive(), {{longest + std::string(extra, 'g'), "too long"}}));
    EXPECT_FALSE(Unzip());
    EXPECT_TRUE(Tree(Target()).empty());
  }
}

TEST_F(UnzipFaultsTest, UndecodableNamesFail) {
  struct Case {
    const char* what;
    std::string name;
    bool utf8_flag;
  };
  for (const Case& c : {Case{"code-page bytes marked UTF-8", "\xD6\xD0\xCE\xC4.txt", true},
                        Case{"overlong slash", "..\xC0\xAFx", true},
                        Case{"zero byte", std::string("a\0b.txt", 7), false}}) {
    SCOPED_TRACE(c.what);
    // minizip stops names at a zero byte, so the zero is patched in afterwards.
    std::string stored_name = c.name;
    std::replace(stored_name.begin(), stored_name.end(), '\0', 'Z');
    Entry e{stored_name, "x"};
    e.utf8_flag = c.utf8_flag;
    ASSERT_TRUE(WriteZip(Archive(), {{"good.txt", "good"}, e}));
    std::string bytes = ReadWhole(Archive());
    for (std::size_t at = 0; (at = bytes.find(stored_name, at)) != std::string::npos;) {
      bytes.replace(at, stored_name.size(), c.name);
      at += c.name.size();
    }
    ASSERT_TRUE(WriteWhole(Archive(), bytes));
    EXPECT_FALSE(Unzip());
    EXPECT_TRUE(Tree(Target()).empty());
  }
}

TEST_F(UnzipFaultsTest, ReadOnlyFileAtEntryPathFailsAndStays) {
  const fs::path locked = Target() / "locked.txt";
  std::ofstream(locked) << "read-only";
  fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  ASSERT_TRUE(
      WriteZip(Archive(), {{"before.txt", "b"}, {"locked.txt", "replaced"}, {"after", "a"}}));
  EXPECT_EQ(Unzip().reason(), "entry locked.txt: a read-only file or a folder stands in its place");
  EXPECT_EQ(ReadWhole(locked), "read-only");
  EXPECT_EQ(Tree(Target()), (Names{"before.txt", "locked.txt"}))
      << "entries before the failure stay; later ones are not attempted";
}

TEST_F(UnzipFaultsTest, FolderAtEntryPathFails) {
  fs::create_directories(Target() / "taken" / "inner");
  ASSERT_TRUE(WriteZip(Archive(), {{"taken", "file over a folder"}}));
  EXPECT_FALSE(Unzip());
  EXPECT_TRUE(fs::is_directory(Target() / "taken" / "inner"));
}

TEST_F(UnzipFaultsTest, MissingTargetFolderIsNotCreated) {
  const fs::path missing = root_ / "missing";
  for (const char* name : {"file.txt", "sub/file.txt", "only/folder/"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(WriteZip(Archive(), {{name, name}}));
    EXPECT_FALSE(UnzipArchive(Wide(Archive()), Wide(missing)));
    EXPECT_FALSE(fs::exists(missing));
  }
}

}  // namespace
}  // namespace ziptest
