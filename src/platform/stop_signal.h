// Waiting for the request to stop a headless process (interrupt or terminate
// signal), for command-line servers. On Windows the requests are the console's
// events: Ctrl+C and Ctrl+Break count as SIGINT, the console closed, a log-off
// and a shutdown as SIGTERM.
#pragma once

namespace platform {

// Holds back the stop signals from every thread started afterwards, so that
// only WaitForStopSignal receives them. Call on the main thread before any
// other thread starts.
void BlockStopSignals();
// Waits until a stop signal arrives; returns its number.
int WaitForStopSignal();

}  // namespace platform
