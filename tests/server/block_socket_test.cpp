// Line reading and whole-block sending on a connected socket pair.
#include "server/block_socket.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "platform/socket.h"
#include "server/server_fixture.h"

namespace {

// A CMyHttpBlockSocket on one end of a stream pair; the test writes to the other.
class BlockSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    m_socket.Attach(ends[0]);
    m_peer = ends[1];
    // A receive that should not happen fails quickly instead of hanging.
    platform::SetSocketTimeouts(m_socket.Handle(), 2000);
  }
  void TearDown() override {
    m_socket.Close();
    if (m_peer >= 0) close(m_peer);
  }
  void PeerSends(const std::string& bytes) {
    ASSERT_EQ(write(m_peer, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  void PeerCloses() {
    close(m_peer);
    m_peer = -1;
  }
  std::string NextLine() {
    char line[CMyHttpBlockSocket::kMaxLine + 1];
    int length = m_socket.ReadLine(line);
    EXPECT_EQ(static_cast<std::size_t>(length), std::string(line).size());
    return std::string(line, static_cast<std::size_t>(length));
  }

  CMyHttpBlockSocket m_socket;
  int m_peer = -1;
};

TEST_F(BlockSocketTest, HandsOutLinesOfOneReceiveOneByOneWithoutReceivingAgain) {
  PeerSends("GET / HTTP/1.1\r\nHost: x\r\nLF only\n\r\n");
  EXPECT_EQ(NextLine(), "GET / HTTP/1.1\r\n");
  EXPECT_EQ(NextLine(), "Host: x\r\n");
  EXPECT_EQ(NextLine(), "LF only\n");
  // The end of the header block is CR LF alone; no receive is needed for it
  // (a receive would wait for the time-out and give no line).
  EXPECT_EQ(NextLine(), "\r\n");
}

TEST_F(BlockSocketTest, JoinsALineThatArrivesInPieces) {
  std::thread sender([this] {
    PeerSends("GET /000000/");
    PeerSends("kvr_entrance.html HT");
    PeerSends("TP/1.1\r");
    PeerSends("\nrest");
  });
  EXPECT_EQ(NextLine(), "GET /000000/kvr_entrance.html HTTP/1.1\r\n");
  sender.join();
  PeerSends("\r\n");
  EXPECT_EQ(NextLine(), "rest\r\n");
}

TEST_F(BlockSocketTest, CutsLongLinesTo499BytesAndDropsTheirRest) {
  std::string exactly_499 = std::string(497, 'a') + "\r\n";
  std::string long_600 = std::string(598, 'b') + "\r\n";
  PeerSends(exactly_499 + long_600 + "next\r\n");
  EXPECT_EQ(NextLine(), exactly_499);
  EXPECT_EQ(NextLine(), std::string(499, 'b'));
  EXPECT_EQ(NextLine(), "next\r\n");
}

TEST_F(BlockSocketTest, GivesNoLineWhenThePeerClosesOrTheBufferFillsWithoutLineFeed) {
  PeerSends("partial line");
  PeerCloses();
  char line[CMyHttpBlockSocket::kMaxLine + 1];
  EXPECT_EQ(m_socket.ReadLine(line), 0);
  EXPECT_EQ(m_socket.ReadLine(line), 0);  // and stays ended
}

TEST_F(BlockSocketTest, GivesNoLineFor1000BytesWithoutLineFeed) {
  PeerSends(std::string(1000, 'x') + "\r\n");
  char line[CMyHttpBlockSocket::kMaxLine + 1];
  EXPECT_EQ(m_socket.ReadLine(line), 0);
}

TEST_F(BlockSocketTest, GivesNoLineWhenNothingArrivesWithinTheTimeOut) {
  platform::SetSocketTimeouts(m_socket.Handle(), 50);
  char line[CMyHttpBlockSocket::kMaxLine + 1];
  EXPECT_EQ(m_socket.ReadLine(line), 0);
}

TEST_F(BlockSocketTest, SendAllDeliversALargeBlockExactlyOnceInOrder) {
  std::string block = test::PatternBytes(3 * 1024 * 1024 + 17);
  std::string received;
  std::thread reader([&] {
    char chunk[8192];
    ssize_t n;
    while ((n = read(m_peer, chunk, sizeof chunk)) > 0) received.append(chunk, n);
  });
  EXPECT_EQ(m_socket.SendAll(block.data(), static_cast<int>(block.size())),
            static_cast<int>(block.size()));
  shutdown(m_socket.Handle(), SHUT_WR);
  reader.join();
  EXPECT_TRUE(received == block);
}

TEST_F(BlockSocketTest, SendAllGivesUpWhenThePeerHasGone) {
  PeerCloses();
  std::string block(1 << 20, 'z');
  // Must return (no endless loop, no SIGPIPE) with less than the whole block.
  EXPECT_LT(m_socket.SendAll(block.data(), static_cast<int>(block.size())),
            static_cast<int>(block.size()));
}

TEST_F(BlockSocketTest, SendAllOfNothingSendsNothing) { EXPECT_EQ(m_socket.SendAll("", 0), 0); }

}  // namespace
