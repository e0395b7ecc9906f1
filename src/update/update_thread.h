// The background update. Started once, at the end of the window's initialisation.
#pragma once

#include "update/update_context.h"

// Starts UpdateThread with its own copy of `context` as a detached worker
// thread. A failure to start it is not reported: the program runs without
// updating.
void StartUpdateThread(UpdateContext context);
