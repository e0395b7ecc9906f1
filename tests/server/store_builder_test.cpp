// The store tool's output, served, gives back every original byte.
#include "server/store_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "server/loopback_client.h"
#include "server/server.h"
#include "server/server_fixture.h"

namespace {

namespace stdfs = std::filesystem;

// A plain tree (request path -> bytes) written below a folder.
std::map<std::string, std::string> SmallTree() {
  return {
      {"/index.html", "<html>root</html>"},
      {"/000000/kvr_entrance.html", "<html>entrance</html>"},
      {"/000000/pro.xml", "<?xml version=\"1.0\"?><pro/>"},
      {"/000000/img/a.png", test::PatternBytes(300000, 5)},
      {"/000000/img/deep/er/b.js", "var b = 1;"},
      {"/000000/中文/课文.html", "lesson"},
      {"/common/empty.css", ""},
  };
}

void WriteTree(const stdfs::path& folder, const std::map<std::string, std::string>& tree) {
  for (const auto& [path, bytes] : tree) {
    stdfs::path target = folder / stdfs::u8path(path.substr(1));  // UTF-8 on every system
    stdfs::create_directories(target.parent_path());
    std::ofstream(target, std::ios::binary) << bytes;
  }
}

class StoreBuilderTest : public ::testing::Test {
 protected:
  test::ProgramFolder m_program{false};
  stdfs::path m_plain = m_program.root() / "plain";
  std::vector<std::string> m_log;
  std::string m_error;

  bool Build(bool force) {
    return BuildContentStore(
        platform::FromFsName(m_plain.string()), platform::FromFsName(m_program.content().string()),
        force, [this](const std::string& line) { m_log.push_back(line); }, &m_error);
  }
};

TEST_F(StoreBuilderTest, ServedStoreGivesBackEveryOriginalByte) {
  auto tree = SmallTree();
  WriteTree(m_plain, tree);
  ASSERT_TRUE(Build(false)) << m_error;
  EXPECT_TRUE(stdfs::exists(m_program.content() / "index.html"));
  EXPECT_TRUE(
      stdfs::exists(m_program.content() / "000000" / "5614955da0c2827390d1441bcb64d7a2.vkc"));
  EXPECT_FALSE(stdfs::exists(m_program.content() / "000000" / "img"));
  EXPECT_TRUE(stdfs::is_directory(m_program.content() / "common"));
  EXPECT_EQ(m_log.size(), tree.size() + 3);  // one line per file and folder, and a summary

  ServerStart started = StartServer(m_program.Root());
  ASSERT_EQ(started.Result(), 0) << started.outcome.reason();
  const std::uint16_t port = started.port;
  for (const auto& [path, bytes] : tree) {
    std::string answer = test::Fetch(port, test::GetRequest(path));
    EXPECT_EQ(test::StatusOf(answer), "HTTP/1.0 200 OK") << path;
    EXPECT_TRUE(test::BodyOf(answer) == bytes) << path;
  }
  StopServer();
}

TEST_F(StoreBuilderTest, RefusesANonEmptyDestinationUnlessForced) {
  WriteTree(m_plain, {{"/000000/a.html", "new"}});
  m_program.WriteRaw("old.txt", "old");
  EXPECT_FALSE(Build(false));
  EXPECT_NE(m_error.find("not empty"), std::string::npos);
  EXPECT_FALSE(stdfs::exists(m_program.content() / "000000"));
  EXPECT_TRUE(Build(true)) << m_error;
  EXPECT_TRUE(stdfs::exists(m_program.content() / "000000"));
}

TEST_F(StoreBuilderTest, FailsForAMissingPlainFolder) {
  EXPECT_FALSE(Build(false));
  EXPECT_FALSE(m_error.empty());
}

}  // namespace
