// MD5 digests of strings and files.
#include "util/md5.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Rfc1321Case {
  std::string text;
  std::string digest;
};

// The test suite of RFC 1321, appendix A.5.
const Rfc1321Case kRfc1321Suite[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

class Md5Test : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = std::filesystem::temp_directory_path() /
            ("md5_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(m_dir);
  }
  void TearDown() override { std::filesystem::remove_all(m_dir); }

  std::string WriteFile(const std::string& name, const std::string& bytes) {
    const std::string path = (m_dir / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  std::filesystem::path m_dir;
};

// Deterministic bytes of every value, including zero.
std::string PatternBytes(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  unsigned state = seed * 2654435761u + 1;
  for (char& c : bytes) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 16);
  }
  return bytes;
}

TEST_F(Md5Test, StringAndFileMatchRfc1321Suite) {
  int index = 0;
  for (const auto& test : kRfc1321Suite) {
    SCOPED_TRACE(test.text);
    EXPECT_EQ(MD5String(test.text), test.digest);
    EXPECT_EQ(MD5String(test.text.c_str()), test.digest);
    EXPECT_EQ(MD5File(WriteFile("rfc" + std::to_string(index++), test.text)), test.digest);
  }
}

TEST_F(Md5Test, EmptyFileGivesDigestOfNoBytes) {
  EXPECT_EQ(MD5File(WriteFile("empty", "")), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST_F(Md5Test, FileOfWholeReadBuffersMatchesString) {
  // Binary content without zero bytes, so MD5String sees all of it.
  std::string bytes = PatternBytes(4 * 1024, 7);
  for (char& c : bytes) c = c == '\0' ? 'z' : c;
  EXPECT_EQ(MD5File(WriteFile("exact", bytes)), MD5String(bytes));
}

TEST_F(Md5Test, FileDigestsAcrossBlockAndBufferBoundaries) {
  // Lengths around the 64-byte block, the 56-byte padding limit and the 1024-byte read.
  const std::size_t sizes[] = {55, 56, 63, 64, 65, 119, 120, 1023, 1024, 1025, 3000};
  for (std::size_t size : sizes) {
    std::string bytes = PatternBytes(size, static_cast<unsigned>(size));
    for (char& c : bytes) c = c == '\0' ? '0' : c;
    SCOPED_TRACE(size);
    EXPECT_EQ(MD5File(WriteFile("b" + std::to_string(size), bytes)), MD5String(bytes));
  }
  // A known digest of a million "a" (RFC 1321 style extended vector).
  EXPECT_EQ(MD5File(WriteFile("million", std::string(1000000, 'a'))),
            "7707d6ae4e027c70eea2a935c2296f21");
}

TEST_F(Md5Test, MissingFileGivesNoResult) {
  EXPECT_FALSE(MD5File((m_dir / "missing.bin").string()).has_value());
}

TEST_F(Md5Test, StringStopsAtZeroByte) {
  EXPECT_EQ(MD5String(std::string("abc\0def", 7)), "900150983cd24fb0d6963f7d28e17f72");
}

TEST_F(Md5Test, HexIsLowerCaseAndOrdered) {
  std::uint8_t digest[16];
  for (int i = 0; i < 16; ++i) digest[i] = static_cast<std::uint8_t>(i * 17);
  EXPECT_EQ(MD5ToHex(digest), "00112233445566778899aabbccddeeff");
}

TEST_F(Md5Test, EightThreadsAtOnceEachCorrect) {
  constexpr int kThreads = 8;
  std::vector<std::string> files;
  std::vector<std::string> texts;
  std::vector<std::string> expected_files;
  for (int i = 0; i < kThreads; ++i) {
    std::string bytes = PatternBytes(64 * 1024 + i * 37, i);
    for (char& c : bytes) c = c == '\0' ? 'x' : c;
    files.push_back(WriteFile("t" + std::to_string(i), bytes));
    expected_files.push_back(*MD5File(files.back()));
    texts.push_back(kRfc1321Suite[i % 7].text + std::to_string(i));
  }
  std::vector<std::string> expected_texts;
  for (const auto& text : texts) expected_texts.push_back(MD5String(text));

  std::vector<std::vector<std::string>> results(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      for (int round = 0; round < 20; ++round) {
        results[i].push_back(MD5File(files[i]).value_or(""));
        results[i].push_back(MD5String(texts[i]));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int i = 0; i < kThreads; ++i) {
    for (std::size_t r = 0; r < results[i].size(); r += 2) {
      EXPECT_EQ(results[i][r], expected_files[i]);
      EXPECT_EQ(results[i][r + 1], expected_texts[i]);
    }
  }
}

}  // namespace
