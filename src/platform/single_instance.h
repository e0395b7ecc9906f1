// One running instance per user, and the way a later start asks it to show
// its window. The lock and the activation socket live in the user's runtime
// folder ($XDG_RUNTIME_DIR, else a private folder under /tmp), so tests can
// isolate instances by giving each its own runtime folder. On Windows they
// are kernel objects of the user's session instead: the named mutex `name`
// and a semaphore beside it; tests isolate instances by their names.
#pragma once

#include <functional>
#include <string>

namespace platform {

// The folder that holds the lock and the socket; created (mode 0700) when it
// is the /tmp fallback. Empty when no usable folder exists, and on Windows.
std::string InstanceRuntimeFolder();

// Takes the per-user lock named `name` and keeps it for the rest of the
// process (the system releases it when the process dies, however it dies).
// False only when another live process holds it; when no lock can be made at
// all, this start counts as the first.
bool AcquireInstanceLock(const std::wstring& name);

// Starts answering activation requests for `name` (call after
// AcquireInstanceLock succeeded). `on_request` runs on a listener thread, once
// per request; it must hand the work to the main thread itself.
void ListenForActivation(const std::wstring& name, std::function<void()> on_request);

// Asks the instance holding `name` to present its window. True when the
// request was delivered; whether a window was presented is not known.
bool RequestActivation(const std::wstring& name);

}  // namespace platform
