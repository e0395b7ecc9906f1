// Starting detached worker threads with a bounded stack, so that a flood of
// short-lived threads keeps memory bounded. Safe on any thread.
#pragma once

#include <cstddef>

namespace platform {

// Procedure of a worker thread; its result is not collected.
using ThreadProc = unsigned (*)(void* argument);

// Starts `proc(argument)` on a new detached thread with a stack of
// `stack_bytes` (raised to the system's minimum when smaller). False when the
// thread could not be started; `proc` does not run then.
bool StartDetachedThread(ThreadProc proc, void* argument, std::size_t stack_bytes);

}  // namespace platform
