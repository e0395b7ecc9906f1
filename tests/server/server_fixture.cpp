// Temporary program folders and a running server for the tests.
#include "server/server_fixture.h"

#include <fstream>
#include <random>

#include "platform/fs.h"
#include "server/content_store.h"
#include "server/listener.h"
#include "server/loopback_client.h"
#include "server/server.h"

namespace test {

namespace stdfs = std::filesystem;

ProgramFolder::ProgramFolder(bool dev_mode) : m_dev_mode(dev_mode) {
  std::random_device entropy;
  m_root = stdfs::temp_directory_path() /
           ("quillory-server-" + std::to_string(entropy()) + std::to_string(entropy()));
  m_content = m_root / (dev_mode ? "Deve" : "Data");
  stdfs::create_directories(m_content);
  if (dev_mode) std::ofstream(m_root / "tirrel") << "";
}

ProgramFolder::~ProgramFolder() {
  std::error_code ignored;
  stdfs::remove_all(m_root, ignored);
}

void ProgramFolder::WriteRaw(const std::string& relative, const std::string& bytes) const {
  stdfs::path target = m_content / stdfs::u8path(relative);
  stdfs::create_directories(target.parent_path());
  std::ofstream(target, std::ios::binary) << bytes;
}

void ProgramFolder::WriteContent(const std::string& request_path, const std::string& plain) const {
  ContentRoot root{m_content.string(), m_dev_mode};
  std::wstring wide = platform::FromFsName(request_path);
  std::string target = ContentFileName(root, wide);
  bool keep_plain = m_dev_mode || IsStoredPlain(wide);
  WriteRaw(target.substr(root.folder.size() + 1), keep_plain ? plain : Scrambled(plain));
}

std::string Scrambled(const std::string& plain) {
  std::string stored = plain;
  unsigned char key = static_cast<unsigned char>((plain.size() & 0xFF) ^ kScrambleConstant);
  for (char& byte : stored) byte = static_cast<char>(static_cast<unsigned char>(byte) ^ key);
  return stored;
}

std::string PatternBytes(std::size_t size, unsigned seed) {
  std::minstd_rand generator(seed);
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>((i + generator()) & 0xFF);
  }
  return bytes;
}

void ServerTest::SetUp() {
  ServerStart started = StartServer(m_folder.Root());
  ASSERT_TRUE(started.outcome.ok()) << started.outcome.reason();
  m_port = started.port;
  m_listener = started.listener;
}

void ServerTest::TearDown() {
  StopServer();
  server_testing::SetThreadStarter(nullptr);
  server_testing::SetIdleTimeoutMs(kIdleTimeoutMs);
  server_testing::SetHeaderDeadlineMs(kHeaderDeadlineMs);
}

std::string ServerTest::Get(const std::string& path, const std::string& extra_headers) const {
  return Fetch(m_port, GetRequest(path, extra_headers));
}

}  // namespace test
