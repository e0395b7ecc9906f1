// The main loop over GLib, and posting work to it from any thread.
#include "platform/main_loop.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/gtk_shared.h"

namespace platform {
namespace {

GMainLoop* g_loop = nullptr;
bool g_quit_requested = false;

std::thread::id MainThreadId() {
  static const std::thread::id id = std::this_thread::get_id();
  return id;
}

// Owns a task on its way to the main thread; GLib frees it after one run.
gboolean RunTaskOnce(gpointer data) {
  auto* task = static_cast<std::function<void()>*>(data);
  (*task)();
  return G_SOURCE_REMOVE;
}

void DeleteTask(gpointer data) { delete static_cast<std::function<void()>*>(data); }

}  // namespace

bool InitGui() {
  MainThreadId();
  return gtk_shared::EnsureGtk();
}

bool IsMainThread() { return std::this_thread::get_id() == MainThreadId(); }

void RunMainLoop() {
  if (g_quit_requested) return;
  g_loop = g_main_loop_new(nullptr, FALSE);
  g_main_loop_run(g_loop);
  g_main_loop_unref(g_loop);
  g_loop = nullptr;
}

void QuitMainLoop() {
  g_quit_requested = true;
  if (g_loop != nullptr) g_main_loop_quit(g_loop);
}

void PostToMainThread(std::function<void()> task) {
  g_idle_add_full(G_PRIORITY_DEFAULT, RunTaskOnce, new std::function<void()>(std::move(task)),
                  DeleteTask);
}

void PostDelayed(unsigned milliseconds, std::function<void()> task) {
  g_timeout_add_full(G_PRIORITY_DEFAULT, milliseconds, RunTaskOnce,
                     new std::function<void()>(std::move(task)), DeleteTask);
}

void SendToMainThread(std::function<void()> task) {
  if (IsMainThread()) {
    task();
    return;
  }
  std::mutex mutex;
  std::condition_variable done_signal;
  bool done = false;
  PostToMainThread([&] {
    task();
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    done_signal.notify_one();
  });
  std::unique_lock<std::mutex> lock(mutex);
  done_signal.wait(lock, [&] { return done; });
}

}  // namespace platform
