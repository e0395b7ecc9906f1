// The background update. Started once, at the end of the window's initialisation.
#pragma once

// Starts UpdateThread as a detached worker thread.
void StartUpdateThread();
