// Line reading and whole-block sending on a connection over 127.0.0.1.
#include "server/block_socket.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/socket.h"
#include "server/server_fixture.h"

namespace {

// A connected pair: the accepted end, and the client end in `peer`.
platform::SocketHandle AcceptedLoopbackPair(platform::SocketHandle* peer) {
  platform::LoopbackListeners listeners;
  if (!platform::ListenOnLoopback(&listeners)) return platform::kNoSocket;
  *peer = platform::NewLoopbackClient(platform::LoopbackAddress::kIpv4);
  platform::SocketHandle accepted = platform::kNoSocket;
  bool local = false;
  if (*peer != platform::kNoSocket &&
      platform::ConnectToLoopback(*peer, platform::LoopbackAddress::kIpv4, listeners.port)) {
    platform::AcceptConnection(&listeners.ipv4, 1, &accepted, &local);
  }
  platform::CloseSocket(listeners.ipv4);
  platform::CloseSocket(listeners.ipv6);
  return accepted;
}

// A CMyHttpBlockSocket on one end of a connection; the test writes to the other.
class BlockSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SocketHandle accepted = AcceptedLoopbackPair(&m_peer);
    ASSERT_NE(accepted, platform::kNoSocket);
    m_socket.Attach(accepted);
    // A receive that should not happen fails quickly instead of hanging.
    platform::SetSocketTimeouts(m_socket.Handle(), 2000);
  }
  void TearDown() override {
    m_socket.Close();
    platform::CloseSocket(m_peer);
  }
  void PeerSends(const std::string& bytes) {
    ASSERT_EQ(platform::SendBytes(m_peer, bytes.data(), bytes.size(), false),
              static_cast<long>(bytes.size()));
  }
  void PeerCloses() {
    platform::CloseSocket(m_peer);
    m_peer = platform::kNoSocket;
  }
  std::string NextLine() {
    char line[CMyHttpBlockSocket::kMaxLine + 1];
    int length = m_socket.ReadLine(line);
    EXPECT_EQ(static_cast<std::size_t>(length), std::string(line).size());
    return std::string(line, static_cast<std::size_t>(length));
  }

  CMyHttpBlockSocket m_socket;
  platform::SocketHandle m_peer = platform::kNoSocket;
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
    long n;
    while ((n = platform::ReceiveBytes(m_peer, chunk, sizeof chunk)) > 0) {
      received.append(chunk, static_cast<std::size_t>(n));
    }
  });
  EXPECT_EQ(m_socket.SendAll(block.data(), static_cast<int>(block.size())),
            static_cast<int>(block.size()));
  platform::ShutdownSending(m_socket.Handle());
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
