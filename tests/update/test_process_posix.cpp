// Child processes of the update tests on Linux: posix_spawn, waitpid, signals.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "update/test_support.h"

extern char** environ;

namespace update_test {

ProcessId SpawnProcess(const std::vector<std::string>& argv, const std::string& stdout_path) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!stdout_path.empty()) {
    posix_spawn_file_actions_addopen(&actions, 1, stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
  }
  pid_t pid = -1;
  const int result = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return result == 0 ? pid : kNoProcess;
}

int WaitProcess(ProcessId child) {
  int status = 0;
  const pid_t pid = static_cast<pid_t>(child);
  if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A child seen ended here is reaped at once; WaitProcess then finds none and
// answers -1, which no caller after HasExited looks at.
bool HasExited(ProcessId child) {
  return waitpid(static_cast<pid_t>(child), nullptr, WNOHANG) == child;
}

void KillProcess(ProcessId child) {
  kill(static_cast<pid_t>(child), SIGKILL);
  WaitProcess(child);
}

void StopProcess(ProcessId child) {
  kill(static_cast<pid_t>(child), SIGTERM);
  WaitProcess(child);
}

void SetEnvironment(const std::string& name, const std::string& value) {
  setenv(name.c_str(), value.c_str(), 1);
}

bool UnderWine() { return false; }

bool MakeSymlink(const std::string& target, const std::string& link, bool folder) {
  std::error_code error;
  if (folder) {
    std::filesystem::create_directory_symlink(target, link, error);
  } else {
    std::filesystem::create_symlink(target, link, error);
  }
  return !error;
}

std::string LinuxPath(const std::string& path) { return path; }

}  // namespace update_test
