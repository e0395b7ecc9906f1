// The main loop of the user interface and the ways other threads reach it
// (the stand-ins for the modal loop, the quit message and posted and sent
// messages).
#pragma once

#include <functional>

namespace platform {

// Initialises the toolkit once, on the thread that becomes the main thread.
// False when no display can be opened. Later calls return the first result.
bool InitGui();

// Runs the main loop until QuitMainLoop. Returns at once when a quit was
// requested before it started. Main thread only.
void RunMainLoop();
// The quit message: RunMainLoop returns once the current event has been
// handled (or at once, when it is called before the loop runs). Main thread.
void QuitMainLoop();

// Runs `task` on the main thread later, in posting order. Any thread.
void PostToMainThread(std::function<void()> task);
// Runs `task` on the main thread and returns when it has run. On the main
// thread it runs at once. Any thread.
void SendToMainThread(std::function<void()> task);
// Runs `task` on the main thread after `milliseconds`. Any thread.
void PostDelayed(unsigned milliseconds, std::function<void()> task);

// True on the thread that called InitGui (or, before that, that first asked).
bool IsMainThread();

}  // namespace platform
