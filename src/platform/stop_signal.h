// Waiting for the request to stop a headless process (interrupt or terminate
// signal), for command-line servers.
#pragma once

namespace platform {

// Holds back the stop signals from every thread started afterwards, so that
// only WaitForStopSignal receives them. Call on the main thread before any
// other thread starts.
void BlockStopSignals();
// Waits until a stop signal arrives; returns its number.
int WaitForStopSignal();

}  // namespace platform
