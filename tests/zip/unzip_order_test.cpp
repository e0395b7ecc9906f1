// UnzipArchive unpacks on two threads and commits in archive order: a
// package that fails part-way leaves exactly the entries before the failing
// one, and deflated data comes out intact whether it is inflated whole or
// in pieces.
#include <string>
#include <vector>

#include "util/zip.h"
#include "zip/sandbox.h"
#include "zip/zip_builder.h"

namespace ziptest {
namespace {

namespace fs = std::filesystem;
using Names = std::set<std::string>;

class UnzipOrderTest : public Sandbox {
 protected:
  Outcome Unzip() { return UnzipArchive(Wide(Archive()), Wide(Target())); }
};

std::string Marker(int i) { return "ENTRY" + std::to_string(i) + "|"; }

// Stored entries in folders of their own under three shared ones, with a
// folder entry now and then. Entry 0 is `large_bytes` long, so that the
// other thread runs ahead of it.
std::vector<Entry> Package(int count, std::size_t large_bytes) {
  std::vector<Entry> entries;
  for (int i = 0; i < count; ++i) {
    const std::string folder = "d" + std::to_string(i % 3) + "/s" + std::to_string(i) + "/";
    const std::size_t size = i == 0 ? large_bytes : 3000;
    Entry e{i % 7 == 6 ? folder : folder + "f.bin",
            i % 7 == 6 ? "" : Marker(i) + std::string(size, static_cast<char>('a' + i % 26))};
    e.stored = true;
    entries.push_back(e);
  }
  return entries;
}

// What unpacking the package leaves when entry `failing` fails: the entries
// before it, and the folders made for the failing entry itself.
Names LeftBefore(const std::vector<Entry>& entries, int failing) {
  Names names;
  for (int i = 0; i < static_cast<int>(entries.size()) && i <= failing; ++i) {
    const std::string& name = entries[i].name;
    for (std::size_t at = name.find('/'); at != std::string::npos; at = name.find('/', at + 1)) {
      names.insert(name.substr(0, at + 1));
    }
    if (i < failing) names.insert(name);
  }
  return names;
}

TEST_F(UnzipOrderTest, FailurePartWayLeavesExactlyTheEntriesBefore) {
  constexpr int kCount = 40;  // more entries than may be in flight at once
  struct Case {
    int broken;  // entry whose data is damaged; kCount for none
    std::size_t large_bytes;
  };
  for (const Case& c : {Case{kCount, 8 << 20}, Case{0, 1 << 20}, Case{1, 8 << 20}, Case{5, 8 << 20},
                        Case{22, 8 << 20}, Case{kCount - 1, 1 << 10}}) {
    SCOPED_TRACE(testing::Message() << "broken entry " << c.broken);
    fs::remove_all(Target());
    fs::create_directories(Target());
    const std::vector<Entry> entries = Package(kCount, c.large_bytes);
    ASSERT_TRUE(WriteZip(Archive(), entries));
    if (c.broken < kCount) {
      ASSERT_TRUE(FlipByteAt(Archive(), Marker(c.broken)));
    }
    const Outcome outcome = Unzip();
    EXPECT_EQ(outcome.ok(), c.broken == kCount);
    if (c.broken < kCount) {
      EXPECT_EQ(outcome.reason(), "entry " + entries[c.broken].name + ": CRC differs");
    }
    EXPECT_EQ(Tree(Target()), LeftBefore(entries, c.broken))
        << "no later entry, folder or temporary file may stay";
    for (int i = 0; i < c.broken; ++i) {
      if (!entries[i].data.empty()) {
        EXPECT_EQ(ReadWhole(Target() / entries[i].name), entries[i].data);
      }
    }
  }
}

// Text that deflates well but not trivially.
std::string Words(std::size_t size) {
  static const char* const kWords[] = {"content ", "package ", "page ", "index ", "style\n"};
  std::string text;
  text.reserve(size + 16);
  for (unsigned n = 1; text.size() < size; n = n * 1103515245u + 12345u)
    text += kWords[n >> 29 & 3];
  text.resize(size);
  return text;
}

TEST_F(UnzipOrderTest, DeflatedDataIsIntactOnEitherSideOfTheWholeEntryLimit) {
  constexpr std::size_t kLimit = 32u << 20;  // larger entries are inflated in pieces
  struct Case {
    std::size_t size;
    bool damaged;
  };
  for (const Case& c :
       {Case{kLimit, false}, Case{kLimit + 1, false}, Case{kLimit, true}, Case{kLimit + 1, true}}) {
    SCOPED_TRACE(testing::Message() << c.size << (c.damaged ? " damaged" : ""));
    fs::remove_all(Target());
    fs::create_directories(Target());
    const std::string text = Words(c.size);
    ASSERT_TRUE(WriteZip(Archive(), {{"big.txt", text}}));
    if (c.damaged) {
      std::string bytes = ReadWhole(Archive());
      for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 64; ++i) bytes[i] ^= 0x5A;
      ASSERT_TRUE(WriteWhole(Archive(), bytes));
    }
    EXPECT_EQ(Unzip().ok(), !c.damaged);
    if (c.damaged) {
      EXPECT_TRUE(Tree(Target()).empty());
    } else {
      EXPECT_TRUE(ReadWhole(Target() / "big.txt") == text);
    }
  }
}

}  // namespace
}  // namespace ziptest
