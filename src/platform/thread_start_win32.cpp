// Detached worker threads through the C runtime's _beginthreadex, so that
// the runtime's per-thread data is set up and freed with the thread.
#include <process.h>
#include <windows.h>

#include <cstdint>
#include <new>

#include "platform/thread_start.h"

namespace platform {
namespace {

// The smallest stack the system gives a thread: one allocation unit.
constexpr std::size_t kMinimumStack = 64 * 1024;

struct StartBlock {
  ThreadProc proc;
  void* argument;
};

unsigned __stdcall RunThread(void* raw) {
  StartBlock block = *static_cast<StartBlock*>(raw);
  delete static_cast<StartBlock*>(raw);
  return block.proc(block.argument);
}

}  // namespace

bool StartDetachedThread(ThreadProc proc, void* argument, std::size_t stack_bytes) {
  auto* block = new (std::nothrow) StartBlock{proc, argument};
  if (block == nullptr) return false;
  const std::size_t stack = stack_bytes < kMinimumStack ? kMinimumStack : stack_bytes;
  // The size is the stack's reservation, the bound of its memory; without
  // the flag it would be only the part committed at the start.
  const std::uintptr_t thread = _beginthreadex(nullptr, static_cast<unsigned>(stack), RunThread,
                                               block, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread == 0) {
    delete block;
    return false;
  }
  CloseHandle(reinterpret_cast<HANDLE>(thread));  // detached: nobody waits for it
  return true;
}

}  // namespace platform
