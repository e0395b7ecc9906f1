// Starting connection threads cheaply. Creating a thread costs more than
// serving a small file, so a thread that has finished its connection waits
// a while for the next one instead of ending; starting a connection thread
// hands the procedure to such a waiting thread when there is one, and
// creates a new thread otherwise. Every procedure still runs on a thread of
// its own, beside all the others. Safe on any thread.
#pragma once

#include <cstddef>

#include "platform/thread_start.h"

// Runs `proc(argument)` on a thread that runs nothing else meanwhile. False
// when no thread could be had; `proc` does not run then.
bool StartCachedThread(platform::ThreadProc proc, void* argument, std::size_t stack_bytes);
