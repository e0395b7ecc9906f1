// POSIX threads for detached workers.
#include <limits.h>
#include <pthread.h>

#include <new>

#include "platform/thread_start.h"

namespace platform {

namespace {

struct StartBlock {
  ThreadProc proc;
  void* argument;
};

void* RunThread(void* raw) {
  StartBlock block = *static_cast<StartBlock*>(raw);
  delete static_cast<StartBlock*>(raw);
  block.proc(block.argument);
  return nullptr;
}

}  // namespace

bool StartDetachedThread(ThreadProc proc, void* argument, std::size_t stack_bytes) {
  auto* block = new (std::nothrow) StartBlock{proc, argument};
  if (block == nullptr) return false;
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) {
    delete block;
    return false;
  }
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  const std::size_t minimum = static_cast<std::size_t>(PTHREAD_STACK_MIN);
  pthread_attr_setstacksize(&attributes, stack_bytes < minimum ? minimum : stack_bytes);
  pthread_t thread;
  bool started = pthread_create(&thread, &attributes, RunThread, block) == 0;
  pthread_attr_destroy(&attributes);
  if (!started) delete block;
  return started;
}

}  // namespace platform
