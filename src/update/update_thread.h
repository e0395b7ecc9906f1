// The background update. Started once, at the end of the window's initialisation.
#pragma once

// Starts UpdateThread as a detached worker thread. A failure to start it is
// not reported: the program runs without updating.
void StartUpdateThread();

// The exit hook that starts the swap executable (RunSwapExeAtExit of the
// start-up code). The start-up code sets it before the window starts the
// update thread; a run that installed a new executable registers it with
// atexit after the restart message. When it was never set, nothing is
// registered. Safe on any thread.
void SetSwapExeAtExitHook(void (*hook)());
// The hook set above; null when none was set.
void (*GetSwapExeAtExitHook())();
