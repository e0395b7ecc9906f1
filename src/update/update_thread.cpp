// Starting the update thread, and the exit hook it registers.
#include "update/update_thread.h"

#include <atomic>
#include <thread>

#include "update/update_sequence.h"

namespace {

std::atomic<void (*)()> g_pfnSwapExeAtExit{nullptr};

}  // namespace

void (*GetSwapExeAtExitHook())() { return g_pfnSwapExeAtExit.load(); }

void SetSwapExeAtExitHook(void (*hook)()) { g_pfnSwapExeAtExit.store(hook); }

void StartUpdateThread() {
  try {
    std::thread(&UpdateThread).detach();
  } catch (...) {
    // No thread could be made: the program runs without updating this time.
  }
}
