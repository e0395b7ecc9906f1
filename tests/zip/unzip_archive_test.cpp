// UnzipArchive on good archives: layout, names, times, contents, memory.
#include <fstream>
#include <random>

#include "platform/file_writer.h"
#include "util/zip.h"
#include "zip/sandbox.h"
#include "zip/zip_builder.h"

namespace ziptest {
namespace {

namespace fs = std::filesystem;
using Names = std::set<std::string>;

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

class UnzipArchiveTest : public Sandbox {
 protected:
  bool Unzip(const std::wstring& target) { return UnzipArchive(Wide(Archive()), target).ok(); }
  bool Unzip() { return Unzip(Wide(Target())); }
};

TEST_F(UnzipArchiveTest, EmptyArchiveSucceedsAndCreatesNothing) {
  ASSERT_TRUE(WriteZip(Archive(), {}));
  EXPECT_TRUE(Unzip());
  // The same end record with an archive comment.
  ASSERT_TRUE(WriteWhole(Archive(), std::string("PK\x05\x06", 4) + std::string(16, '\0') +
                                        std::string("\x02\x00hi", 4)));
  EXPECT_TRUE(Unzip());
  EXPECT_TRUE(Tree(Target()).empty());
}

TEST_F(UnzipArchiveTest, OnlyFolderEntriesCreateFolders) {
  ASSERT_TRUE(WriteZip(Archive(), {{"a/"}, {"a/b/"}, {"c\\d\\"}}));
  EXPECT_TRUE(Unzip());
  EXPECT_EQ(Tree(Target()), (Names{"a/", "a/b/", "c/", "c/d/"}));
}

TEST_F(UnzipArchiveTest, ContentsSurviveBothMethodsAndAllSizes) {
  std::vector<Entry> entries;
  for (std::size_t size : {0, 1, 4095, 4096, 4097, 65536, 65537, 300000}) {
    for (bool stored : {false, true}) {
      Entry e{(stored ? "s" : "d") + std::to_string(size), RandomBytes(size, size)};
      e.stored = stored;
      entries.push_back(e);
    }
  }
  ASSERT_TRUE(WriteZip(Archive(), entries));
  ASSERT_TRUE(Unzip());
  for (const Entry& e : entries) EXPECT_EQ(ReadWhole(Target() / e.name), e.data) << e.name;
  EXPECT_EQ(Tree(Target()).size(), entries.size()) << "no temporary file may stay behind";
}

TEST_F(UnzipArchiveTest, TargetFormsGiveTheSameResult) {
  ASSERT_TRUE(WriteZip(Archive(), {{"x/y.txt", "y"}}));
  for (const wchar_t* suffix : {L"", L"/", L"\\"}) {
    SCOPED_TRACE(testing::Message() << "suffix " << (suffix[0] ? char(suffix[0]) : '-'));
    fs::remove_all(Target());
    fs::create_directory(Target());
    ASSERT_TRUE(Unzip(Wide(Target()) + suffix));
    EXPECT_EQ(Tree(Target()), (Names{"x/", "x/y.txt"}));
  }
}

TEST_F(UnzipArchiveTest, BothSeparatorsMakeFolders) {
  ASSERT_TRUE(WriteZip(Archive(), {{"a\\b\\c.txt", "1"}, {"a/b\\d.txt", "2"}, {"e\\f/", ""}}));
  ASSERT_TRUE(Unzip());
  EXPECT_EQ(Tree(Target()), (Names{"a/", "a/b/", "a/b/c.txt", "a/b/d.txt", "e/", "e/f/"}));
  EXPECT_EQ(ReadWhole(Target() / "a/b/c.txt"), "1");
}

TEST_F(UnzipArchiveTest, ChineseNamesInCodePageAndUtf8GiveTheSameFile) {
  const std::string gbk = "\xD6\xD0\xCE\xC4/\xBF\xCE\xB1\xBE.txt";
  const std::string utf8 = "中文/课本.txt";
  struct Case {
    std::string name;
    bool utf8_flag;
  };
  for (const Case& c : {Case{gbk, false}, Case{utf8, true}}) {
    SCOPED_TRACE(c.utf8_flag ? "utf-8 flag" : "code page");
    fs::remove_all(Target());
    fs::create_directory(Target());
    Entry e{c.name, "book"};
    e.utf8_flag = c.utf8_flag;
    ASSERT_TRUE(WriteZip(Archive(), {e}));
    ASSERT_TRUE(Unzip());
    EXPECT_EQ(Tree(Target()), (Names{"中文/", utf8}));
    EXPECT_EQ(ReadWhole(Target() / fs::u8path(utf8)), "book");
  }
}

TEST_F(UnzipArchiveTest, EntryTimesBecomeFileTimes) {
  Entry winter{"winter.txt", "w"};
  winter.time = {2019, 1, 15, 7, 30, 42};
  Entry summer{"sub/summer.txt", "s"};
  summer.time = {2022, 7, 1, 23, 59, 58};
  ASSERT_TRUE(WriteZip(Archive(), {winter, summer}));
  ASSERT_TRUE(Unzip());
  for (const Entry& e : {winter, summer}) {
    std::optional<platform::LocalTime> t = platform::FileLocalTime(Wide(Target() / e.name));
    ASSERT_TRUE(t) << e.name;
    EXPECT_EQ((std::vector<int>{t->year, t->month, t->day, t->hour, t->minute, t->second}),
              (std::vector<int>{e.time.year, e.time.month, e.time.day, e.time.hour, e.time.minute,
                                e.time.second}))
        << e.name;
  }
}

TEST_F(UnzipArchiveTest, LaterEntriesReplaceEarlierOnesInDirectoryOrder) {
  std::ofstream(Target() / "keep.txt") << "old";
  ASSERT_TRUE(WriteZip(Archive(), {{"keep.txt", "first"}, {"keep.txt", "second"}}));
  ASSERT_TRUE(Unzip());
  EXPECT_EQ(ReadWhole(Target() / "keep.txt"), "second");
  EXPECT_EQ(Tree(Target()), (Names{"keep.txt"}));
}

TEST_F(UnzipArchiveTest, ImportingTwiceSucceedsTwice) {
  ASSERT_TRUE(WriteZip(Archive(), {{"p/pro.xml", "<p/>"}, {"p/x.vkc", "x"}}));
  EXPECT_TRUE(Unzip());
  EXPECT_TRUE(Unzip());
  EXPECT_EQ(Tree(Target()), (Names{"p/", "p/pro.xml", "p/x.vkc"}));
}

// Peak resident memory in KiB, from the kernel's account of this process.
long StatusKiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  }
  return -1;
}

TEST_F(UnzipArchiveTest, HugeEntryStreamsInBoundedMemory) {
  constexpr int kMebibytes = 1024;
  ASSERT_TRUE(WriteZerosZip(Archive(), "zeros.bin", kMebibytes));
  ASSERT_LT(fs::file_size(Archive()), 8u << 20) << "the archive itself must stay small";
  long before = StatusKiB("VmRSS");
  ASSERT_GT(before, 0);
  ASSERT_TRUE(Unzip());
  long peak = StatusKiB("VmHWM");
  EXPECT_EQ(fs::file_size(Target() / "zeros.bin"), std::uintmax_t{kMebibytes} << 20);
  EXPECT_LT(peak - before, 32 * 1024) << "resident memory grew by " << (peak - before) << " KiB";
  fs::remove(Target() / "zeros.bin");
}

}  // namespace
}  // namespace ziptest
