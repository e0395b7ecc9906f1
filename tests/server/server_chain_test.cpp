// The listener and its chain of connection threads under load, at stop,
// and when accepting or starting a thread fails.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/fs.h"
#include "server/descriptor_limit.h"
#include "server/listener.h"
#include "server/loopback_client.h"
#include "server/server.h"
#include "server/server_fixture.h"

namespace {

using test::BodyOf;

const char kPage[] = "/000000/page.html";

class ChainTest : public test::ServerTest {
 protected:
  void SetUp() override {
    test::ServerTest::SetUp();
    folder().WriteContent(kPage, "page body");
  }
};

TEST_F(ChainTest, PublishesThePortAndTheListeningSocket) {
  EXPECT_NE(listener(), platform::kNoSocket);
  EXPECT_NE(port(), 0);
  EXPECT_TRUE(g_bAccepting.load());
  ServerStart second = StartServer(folder().Root());
  EXPECT_EQ(second.Result(), E_FAIL);
  EXPECT_EQ(second.outcome.reason(), "already running");
  EXPECT_EQ(second.listener, platform::kNoSocket);
}

TEST_F(ChainTest, AnswersOverIpv6LoopbackAndHoldsItsPort) {
  if (!test::HasIpv6Loopback()) GTEST_SKIP() << "this machine has no IPv6 loopback";
  test::LoopbackClient client(test::Ipv6Loopback{}, port());
  ASSERT_TRUE(client.connected());
  ASSERT_TRUE(client.Send(test::GetRequest(kPage)));
  EXPECT_EQ(BodyOf(client.ReadAll()), "page body");
  // Nobody else can listen where "localhost" may lead the browser first.
  EXPECT_FALSE(test::CanBindIpv6Loopback(port()));
}

TEST_F(ChainTest, Answers200ParallelConnections) {
  constexpr int kConnections = 200;
  std::vector<std::unique_ptr<test::LoopbackClient>> clients;
  for (int i = 0; i < kConnections; ++i) {
    clients.push_back(std::make_unique<test::LoopbackClient>(port()));
    ASSERT_TRUE(clients.back()->connected()) << i;
  }
  // Every connection is open before any request goes out, so each one is
  // served while the others wait for their own answers.
  for (auto& client : clients) ASSERT_TRUE(client->Send(test::GetRequest(kPage)));
  for (auto& client : clients) EXPECT_EQ(BodyOf(client->ReadAll()), "page body");
}

TEST_F(ChainTest, ServesTheSameFileToParallelConnections) {
  std::string big = test::PatternBytes(8 * 1024 * 1024);
  folder().WriteContent("/000000/big.bin", big);
  test::LoopbackClient first(port());
  test::LoopbackClient second(port());
  ASSERT_TRUE(first.Send(test::GetRequest("/000000/big.bin")));
  ASSERT_TRUE(second.Send(test::GetRequest("/000000/big.bin")));
  std::string second_answer;
  std::thread reader([&] { second_answer = second.ReadAll(); });
  EXPECT_TRUE(BodyOf(first.ReadAll()) == big);
  reader.join();
  EXPECT_TRUE(BodyOf(second_answer) == big);
}

TEST_F(ChainTest, FinishesAConnectionAcceptedBeforeStopAndAcceptsNoneAfter) {
  std::uint64_t accepted = server_testing::AcceptedCount();
  test::LoopbackClient early(port());
  ASSERT_TRUE(early.Send("GET /000000/page.html HTTP/1.1\r\n"));
  ASSERT_TRUE(test::WaitFor([&] { return server_testing::AcceptedCount() > accepted; }));
  EXPECT_EQ(StopServer(), 0);
  EXPECT_FALSE(g_bAccepting.load());
  ASSERT_TRUE(early.Send("Host: 127.0.0.1\r\n\r\n"));
  EXPECT_EQ(BodyOf(early.ReadAll()), "page body");
  test::LoopbackClient late(port());
  EXPECT_FALSE(late.connected());
  test::LoopbackClient late_ipv6(test::Ipv6Loopback{}, port());
  EXPECT_FALSE(late_ipv6.connected());
  EXPECT_EQ(StopServer(), 0);  // a second stop only clears the flag
}

TEST_F(ChainTest, AFewThreadsWaitBesideTheServedOnesAndAllLeaveAtStop) {
  std::uint64_t accepted = server_testing::AcceptedCount();
  std::vector<std::unique_ptr<test::LoopbackClient>> clients;
  for (int i = 0; i < 6; ++i) {
    clients.push_back(std::make_unique<test::LoopbackClient>(port()));
    ASSERT_TRUE(clients.back()->Send("GET /000000/page.html HTTP/1.1\r\n"));
  }
  ASSERT_TRUE(test::WaitFor([&] { return server_testing::AcceptedCount() == accepted + 6; }));
  // Six connections in the middle of their requests, each on its thread, and
  // one more thread waits, so that a seventh would not wait for them.
  EXPECT_EQ(server_testing::WaitingThreadCount(), 1);
  for (auto& client : clients) ASSERT_TRUE(client->Send("Host: 127.0.0.1\r\n\r\n"));
  for (auto& client : clients) EXPECT_EQ(BodyOf(client->ReadAll()), "page body");
  // Threads that are done wait again, but only a few; the rest end.
  ASSERT_TRUE(test::WaitFor([] { return server_testing::WaitingThreadCount() == 2; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(server_testing::WaitingThreadCount(), 2);
  EXPECT_EQ(StopServer(), 0);
  EXPECT_EQ(server_testing::ThreadsLeftAtLastStop(), 0);
  EXPECT_FALSE(test::LoopbackClient(port()).connected());
}

TEST_F(ChainTest, ClosesAConnectionThatStaysSilent) {
  server_testing::SetIdleTimeoutMs(100);
  test::LoopbackClient silent(port());
  ASSERT_TRUE(silent.connected());
  EXPECT_TRUE(silent.ClosedWithoutAnswer());
  test::LoopbackClient half(port());
  ASSERT_TRUE(half.Send("GET /000000/page.html HTTP/1.1\r\nHost: 127.0.0.1\r\n"));
  EXPECT_TRUE(half.ClosedWithoutAnswer());
}

TEST_F(ChainTest, ClosesAConnectionWhoseHeadersTrickleIn) {
  server_testing::SetHeaderDeadlineMs(300);
  test::LoopbackClient client(port());
  ASSERT_TRUE(client.Send("GET /000000/page.html HTTP/1.1\r\n"));
  std::atomic<bool> answered{false};
  // A byte every 5 ms, far more often than the idle time-out, in lines that
  // keep within the limits of a line and of the header block for over 20 s.
  std::thread trickler([&] {
    const std::string line = "X-Slow: " + std::string(390, 'a') + "\r\n";
    for (std::size_t i = 0; i < 4000 && !answered; ++i) {
      if (!client.Send(line.substr(i % line.size(), 1))) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  EXPECT_TRUE(client.ClosedWithoutAnswer());
  answered = true;
  trickler.join();
}

bool FailToStart(platform::ThreadProc, void*, std::size_t) { return false; }

TEST_F(ChainTest, KeepsAcceptingWhenNoThreadCanBeStarted) {
  // Let the waiting thread take its next connection before starting fails.
  server_testing::SetThreadStarter(FailToStart);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(BodyOf(Get(kPage)), "page body") << i;
  }
  server_testing::SetThreadStarter(nullptr);
  EXPECT_EQ(BodyOf(Get(kPage)), "page body");
  EXPECT_TRUE(g_bAccepting.load());
}

TEST_F(ChainTest, KeepsAcceptingAfterRunningOutOfDescriptors) {
  if (!test::CanLimitDescriptors()) {
    GTEST_SKIP() << "this system has no limit of open descriptors to lower";
  }
  std::uint64_t failures = server_testing::AcceptFailureCount();
  test::LoopbackClient first(port(), nullptr, false);
  test::LoopbackClient second(port(), nullptr, false);
  // No new descriptor can be had. The waiting accept has its descriptor
  // already and takes the first connection; the accept after it fails, and
  // the second connection waits in the queue until the limit is back.
  ASSERT_TRUE(test::ForbidNewDescriptors());
  bool connected = first.Connect() && first.Send(test::GetRequest(kPage)) && second.Connect() &&
                   second.Send(test::GetRequest(kPage));
  bool failed = test::WaitFor([&] { return server_testing::AcceptFailureCount() > failures; });
  ASSERT_TRUE(test::AllowNewDescriptors());
  ASSERT_TRUE(connected);
  ASSERT_TRUE(failed);
  first.ReadAll();  // whatever could be answered without descriptors
  EXPECT_EQ(BodyOf(second.ReadAll()), "page body");
  EXPECT_EQ(BodyOf(Get(kPage)), "page body");
}

}  // namespace
