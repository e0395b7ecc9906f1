// Stop requests of a console process on Windows: Ctrl+C, Ctrl+Break, the
// console window closed, the user logging off or the system shutting down,
// reported with the numbers of the matching POSIX signals.
#include <windows.h>

#include <csignal>

#include "platform/stop_signal.h"

namespace platform {
namespace {

HANDLE g_stop_event = nullptr;  // set by BlockStopSignals, before any thread
volatile LONG g_stop_number = 0;

// Runs on a thread the system starts for each console event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
  InterlockedCompareExchange(&g_stop_number, interrupt ? SIGINT : SIGTERM, 0);
  SetEvent(g_stop_event);
  // For the closing events the system ends the process once the handler
  // returns: keep it waiting, so that the main thread can shut down in order.
  if (!interrupt) Sleep(INFINITE);
  return TRUE;
}

}  // namespace

void BlockStopSignals() {
  if (g_stop_event != nullptr) return;
  g_stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (g_stop_event != nullptr) SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

int WaitForStopSignal() {
  if (g_stop_event == nullptr) BlockStopSignals();
  while (g_stop_event == nullptr || WaitForSingleObject(g_stop_event, INFINITE) != WAIT_OBJECT_0) {
    Sleep(1000);  // no event could be made: wait without end, as for a signal that never comes
  }
  return static_cast<int>(g_stop_number);
}

}  // namespace platform
