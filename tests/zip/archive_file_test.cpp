// The buffered archive reader under minizip: reads that cross its buffer,
// seeks backwards and from the end, the end of the file, and positioned
// reads beside the buffer.
#include "platform/archive_file.h"

#include <gtest/gtest.h>

#include "zip/sandbox.h"
#include "zip/zip_builder.h"

namespace ziptest {
namespace {

using platform::ArchiveFile;

class ArchiveFileTest : public Sandbox {};

TEST_F(ArchiveFileTest, ReadsMatchTheFileWhereverTheyStart) {
  std::string bytes(700000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  ASSERT_TRUE(WriteWhole(Archive(), bytes));
  ArchiveFile file;
  ASSERT_TRUE(file.Open(Archive().u8string()));

  struct Step {
    std::int64_t offset;
    ArchiveFile::Origin origin;
    std::size_t size;
    std::size_t expected_start;
    std::size_t expected_size;
  };
  const Step steps[] = {
      {0, ArchiveFile::Origin::kStart, 10, 0, 10},
      {0, ArchiveFile::Origin::kCurrent, 300000, 10, 300000},     // crosses the buffer's end
      {5, ArchiveFile::Origin::kStart, 3, 5, 3},                  // back inside the old buffer
      {-3, ArchiveFile::Origin::kEnd, 10, 699997, 3},             // cut at the end
      {0, ArchiveFile::Origin::kEnd, 10, 700000, 0},              // at the end
      {1000, ArchiveFile::Origin::kStart, 600000, 1000, 600000},  // larger than the buffer
  };
  std::string got(700000, '\0');
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << s.offset << " +" << s.size);
    ASSERT_TRUE(file.Seek(s.offset, s.origin));
    EXPECT_EQ(file.Tell(), s.expected_start);
    ASSERT_EQ(file.Read(got.data(), s.size), s.expected_size);
    EXPECT_EQ(got.substr(0, s.expected_size), bytes.substr(s.expected_start, s.expected_size));
    EXPECT_EQ(file.Tell(), s.expected_start + s.expected_size);
    // A positioned read gives the same bytes and leaves the position alone.
    std::string at(s.size, '\0');
    ASSERT_EQ(file.ReadAt(s.expected_start, at.data(), s.size), s.expected_size);
    EXPECT_EQ(at.substr(0, s.expected_size), got.substr(0, s.expected_size));
    EXPECT_EQ(file.Tell(), s.expected_start + s.expected_size);
  }
  EXPECT_FALSE(file.Seek(-1, ArchiveFile::Origin::kStart));
  EXPECT_FALSE(file.HasError());
}

TEST_F(ArchiveFileTest, OnlyRegularFilesOpen) {
  ArchiveFile file;
  EXPECT_FALSE(file.Open((root_ / "missing").u8string()));
  EXPECT_FALSE(file.Open(Target().u8string()));
}

}  // namespace
}  // namespace ziptest
