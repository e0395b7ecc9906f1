// Detached starts with posix_spawn; the "open" verb over xdg-open.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <string>
#include <thread>
#include <vector>

#include "platform/fs.h"
#include "platform/process.h"

extern char** environ;

namespace platform {
namespace {

// Spawns argv[0] (searched in PATH when `search_path`) in a new session with
// its standard streams on /dev/null. Never waits for it.
bool SpawnDetached(const std::vector<std::string>& args, bool search_path) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  if (posix_spawnattr_init(&attributes) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return false;
  }
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  // A new session: the started program outlives us and gets no signals of our terminal.
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  sigset_t no_signals;
  sigemptyset(&no_signals);
  posix_spawnattr_setsigmask(&attributes, &no_signals);
  sigset_t default_signals;
  sigemptyset(&default_signals);
  sigaddset(&default_signals, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &default_signals);

  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  int rc = search_path ? posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ)
                       : posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (rc != 0) return false;
  // Reap the child whenever it ends, so no zombie stays behind while we run.
  std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
  return true;
}

bool IsExecutableFile(const std::string& name) {
  struct stat info {};
  return stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(name.c_str(), X_OK) == 0;
}

}  // namespace

bool StartDetached(const std::wstring& path) {
  std::string name = ToFsName(path);
  if (name.empty() || !IsExecutableFile(name)) return false;
  return SpawnDetached({name}, false);
}

bool ShellOpen(const std::wstring& path) {
  std::string name = ToFsName(path);
  if (name.empty()) return false;
  if (IsExecutableFile(name)) return SpawnDetached({name}, false);
  if (access(name.c_str(), F_OK) != 0) return false;
  return SpawnDetached({"xdg-open", name}, true);
}

bool IsProcessRunning(long pid) {
  if (pid <= 0 || pid > INT_MAX) return true;
  // Signal 0 only asks whether the process exists; EPERM: it does, owned by another user.
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace platform
