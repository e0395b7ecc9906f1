// Hand-overs to parked connection threads, many at once and back to back, so
// that the sanitizer builds see any parked thread that leaves while its
// hand-over still touches it.
#include "server/thread_cache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

struct Tally {
  std::atomic<int> runs{0};
};

unsigned CountRun(void* raw) {
  static_cast<Tally*>(raw)->runs.fetch_add(1);
  return 0;
}

bool WaitForRuns(const Tally& tally, int expected) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (tally.runs.load() < expected) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

TEST(ThreadCacheTest, EveryProcedureRunsOnceUnderBackToBackHandOvers) {
  constexpr int kStarters = 4;
  constexpr int kPerStarter = 2000;
  Tally tally;
  std::atomic<int> refused{0};
  std::vector<std::thread> starters;
  for (int s = 0; s < kStarters; ++s) {
    starters.emplace_back([&] {
      for (int i = 0; i < kPerStarter; ++i) {
        if (!StartCachedThread(CountRun, &tally, 256 * 1024)) refused.fetch_add(1);
      }
    });
  }
  for (std::thread& starter : starters) starter.join();
  EXPECT_EQ(refused.load(), 0);
  ASSERT_TRUE(WaitForRuns(tally, kStarters * kPerStarter));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(tally.runs.load(), kStarters * kPerStarter);  // none ran twice
}

// Procedures that wait for each other can only all meet when each has a
// thread of its own, parked threads or not.
std::atomic<int> s_arrived{0};
std::atomic<int> s_met{0};
std::atomic<int> s_left{0};
constexpr int kMeeting = 40;

unsigned Meet(void*) {
  s_arrived.fetch_add(1);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (s_arrived.load() < kMeeting && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (s_arrived.load() >= kMeeting) s_met.fetch_add(1);
  s_left.fetch_add(1);
  return 0;
}

TEST(ThreadCacheTest, ProceduresRunBesideEachOther) {
  for (int i = 0; i < kMeeting; ++i) ASSERT_TRUE(StartCachedThread(Meet, nullptr, 256 * 1024));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (s_left.load() < kMeeting && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(s_met.load(), kMeeting);
}

}  // namespace
