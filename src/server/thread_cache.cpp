// Finished threads park on a list and take the next procedure from it.
#include "server/thread_cache.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace {

// Parked threads beyond this count end instead of waiting.
constexpr std::size_t kMaxParked = 128;
// A parked thread that gets nothing to do for this long ends.
constexpr auto kParkTime = std::chrono::seconds(10);

struct Work {
  platform::ThreadProc proc = nullptr;
  void* argument = nullptr;
};

// A cached thread's parking place; lives on that thread's stack for as long
// as the thread runs. The hand-over sets the work under the thread's own lock
// but wakes it after letting go of the lock, so the thread does not wake into
// a busy lock. A late wake-up after the thread has parked again is harmless
// (it finds no work and waits on); `notifying` counts hand-overs that still
// touch the object, which must not end before they do.
struct Parked {
  std::mutex mutex;
  std::condition_variable wake;
  Work work;
  std::atomic<int> notifying{0};
};

struct Cache {
  std::mutex mutex;
  std::vector<Parked*> parked;
};

Cache& TheCache() {
  static Cache* cache = new Cache();  // never destroyed: parked threads outlive exit
  return *cache;
}

bool Unlist(Cache& cache, Parked* thread) {
  std::lock_guard<std::mutex> lock(cache.mutex);
  auto found = std::find(cache.parked.begin(), cache.parked.end(), thread);
  if (found == cache.parked.end()) return false;
  cache.parked.erase(found);
  return true;
}

// Waits on a listed `self` until it is handed work or its time is up.
Work AwaitHandOver(Cache& cache, Parked& self) {
  std::unique_lock<std::mutex> lock(self.mutex);
  auto handed = [&] { return self.work.proc != nullptr; };
  if (self.wake.wait_for(lock, kParkTime, handed)) return self.work;
  lock.unlock();
  if (Unlist(cache, &self)) return Work{};
  // Taken off the list by a hand-over that is under way: wait for it.
  lock.lock();
  self.wake.wait(lock, handed);
  return self.work;
}

// Parks the calling thread until it is handed work or its time is up.
// Returns the work, or a procedure of null when the thread should end.
Work WaitForWork(Cache& cache, Parked& self) {
  {
    std::lock_guard<std::mutex> lock(self.mutex);
    self.work = Work{};
  }
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    if (cache.parked.size() >= kMaxParked) return Work{};
    cache.parked.push_back(&self);
  }
  return AwaitHandOver(cache, self);
}

unsigned CachedThreadMain(void* raw) {
  Work work = *static_cast<Work*>(raw);
  delete static_cast<Work*>(raw);
  Cache& cache = TheCache();
  Parked self;
  while (work.proc != nullptr) {
    work.proc(work.argument);
    work = WaitForWork(cache, self);
  }
  // The last hand-over's wake call may still be on its way; it takes a
  // moment, so yielding is enough.
  while (self.notifying.load(std::memory_order_acquire) != 0) std::this_thread::yield();
  return 0;
}

}  // namespace

bool StartCachedThread(platform::ThreadProc proc, void* argument, std::size_t stack_bytes) {
  Cache& cache = TheCache();
  Parked* thread = nullptr;
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    if (!cache.parked.empty()) {
      thread = cache.parked.back();
      cache.parked.pop_back();
    }
  }
  if (thread != nullptr) {
    {
      std::lock_guard<std::mutex> lock(thread->mutex);
      thread->work = Work{proc, argument};
      thread->notifying.fetch_add(1, std::memory_order_relaxed);
    }
    thread->wake.notify_one();
    thread->notifying.fetch_sub(1, std::memory_order_release);  // last touch of *thread
    return true;
  }
  auto* work = new (std::nothrow) Work{proc, argument};
  if (work == nullptr) return false;
  if (platform::StartDetachedThread(CachedThreadMain, work, stack_bytes)) return true;
  delete work;
  return false;
}
