// Single instance over a named mutex, created with this process as its
// owner and held until the process ends; activation over a named semaphore
// that the first instance waits on. Both live in the session's namespace,
// so each logged-on user has their own.
#include <windows.h>

#include <climits>
#include <thread>
#include <utility>

#include "platform/single_instance.h"

namespace platform {
namespace {

// Kernel objects of every kind share one namespace: the semaphore needs a
// name of its own.
std::wstring ActivationName(const std::wstring& name) { return name + L".activation"; }

// Runs `on_request` once per release of the semaphore, until the process ends.
void ServeActivation(HANDLE requests, std::function<void()> on_request) {
  while (WaitForSingleObject(requests, INFINITE) == WAIT_OBJECT_0) on_request();
}

}  // namespace

std::string InstanceRuntimeFolder() { return std::string(); }

bool AcquireInstanceLock(const std::wstring& name) {
  HANDLE mutex = CreateMutexW(nullptr, TRUE, name.c_str());
  const DWORD error = GetLastError();
  if (mutex != nullptr && error != ERROR_ALREADY_EXISTS) return true;  // held until we end
  if (mutex != nullptr) CloseHandle(mutex);
  // Refused access: it exists, made by another process of higher rights.
  return !(error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED);
}

void ListenForActivation(const std::wstring& name, std::function<void()> on_request) {
  HANDLE requests = CreateSemaphoreW(nullptr, 0, LONG_MAX, ActivationName(name).c_str());
  if (requests == nullptr) return;
  try {
    std::thread(ServeActivation, requests, std::move(on_request)).detach();
  } catch (...) {
    CloseHandle(requests);
  }
}

bool RequestActivation(const std::wstring& name) {
  HANDLE requests = OpenSemaphoreW(SEMAPHORE_MODIFY_STATE, FALSE, ActivationName(name).c_str());
  if (requests == nullptr) return false;
  const bool delivered = ReleaseSemaphore(requests, 1, nullptr) != FALSE;
  CloseHandle(requests);
  return delivered;
}

}  // namespace platform
