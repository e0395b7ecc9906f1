// WaitFor of server_fixture.h.
#pragma once

#include <chrono>
#include <thread>

namespace test {

template <typename Condition>
bool WaitFor(Condition condition) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace test
