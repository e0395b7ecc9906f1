// Fixtures of the server tests: a temporary program folder in developer or
// store layout, and a running server over it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/socket.h"
#include "server/content_store.h"

namespace test {

// A program folder in a fresh temporary folder, removed by the destructor.
// In developer mode it holds the "tirrel" marker and the content folder
// "Deve", otherwise "Data".
class ProgramFolder {
 public:
  explicit ProgramFolder(bool dev_mode);
  ~ProgramFolder();
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;

  const std::filesystem::path& root() const { return m_root; }
  const std::filesystem::path& content() const { return m_content; }
  // The content folder with the folder's mode, opened now.
  ContentRoot Root() const { return OpenContentRoot(m_content.string(), m_dev_mode); }

  // Writes `bytes` at `relative` below the content folder (UTF-8 names).
  void WriteRaw(const std::string& relative, const std::string& bytes) const;
  // Writes the file that answers `request_path` ("/top/name"), in the form
  // the folder's mode keeps it: under its own name in developer mode,
  // otherwise under its store name and scrambled (except ".xml").
  void WriteContent(const std::string& request_path, const std::string& plain) const;

 private:
  std::filesystem::path m_root;
  std::filesystem::path m_content;
  bool m_dev_mode;
};

// Stored form of plain bytes, computed here independently of the server:
// every byte XOR ((length mod 256) XOR the store's constant).
std::string Scrambled(const std::string& plain);
// `size` bytes of every value, in a scrambled order.
std::string PatternBytes(std::size_t size, unsigned seed = 1);

// A running server over a program folder; stopped after each test.
class ServerTest : public ::testing::Test {
 protected:
  explicit ServerTest(bool dev_mode = false) : m_folder(dev_mode) {}
  void SetUp() override;
  void TearDown() override;

  const ProgramFolder& folder() const { return m_folder; }
  std::uint16_t port() const { return m_port; }
  platform::SocketHandle listener() const { return m_listener; }
  std::string Get(const std::string& path, const std::string& extra_headers = "") const;

 private:
  ProgramFolder m_folder;
  std::uint16_t m_port = 0;
  platform::SocketHandle m_listener = platform::kNoSocket;
};

class DevServerTest : public ServerTest {
 protected:
  DevServerTest() : ServerTest(true) {}
};

// Waits (yielding) until `condition` holds or about 20 s pass; returns it.
template <typename Condition>
bool WaitFor(Condition condition);

}  // namespace test

#include "server/server_fixture_wait.h"
