// Process handling for GUI tests over posix_spawn and /proc.
#include "gui/harness/processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <thread>

extern char** environ;

namespace guitest {
namespace {

std::vector<std::string> MergedEnvironment(const Env& env) {
  std::vector<std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string item(*entry);
    std::string key = item.substr(0, item.find('='));
    if (env.count(key) == 0) merged.push_back(item);
  }
  for (const auto& [key, value] : env) merged.push_back(key + "=" + value);
  return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& items) {
  std::vector<char*> pointers;
  for (std::string& item : items) pointers.push_back(item.data());
  pointers.push_back(nullptr);
  return pointers;
}

pid_t Spawn(const std::vector<std::string>& argv, const Env& env, const std::string& out_file,
            int out_fd, bool own_group) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (out_fd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  } else {
    const char* target = out_file.empty() ? "/dev/null" : out_file.c_str();
    posix_spawn_file_actions_addopen(&actions, 1, target, O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  }
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  if (own_group) {
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
  }
  std::vector<std::string> args = argv;
  std::vector<std::string> environment = MergedEnvironment(env);
  std::vector<char*> arg_pointers = Pointers(args);
  std::vector<char*> env_pointers = Pointers(environment);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, arg_pointers[0], &actions, &attributes, arg_pointers.data(),
                        env_pointers.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return rc == 0 ? pid : -1;
}

}  // namespace

std::unique_ptr<Process> Process::Start(const std::vector<std::string>& argv, const Env& env,
                                        const std::string& log_file) {
  pid_t pid = Spawn(argv, env, log_file, -1, true);
  if (pid <= 0) return nullptr;
  return std::unique_ptr<Process>(new Process(pid));
}

Process::~Process() { Kill(); }

std::optional<int> Process::WaitExit(std::chrono::milliseconds timeout) {
  if (m_reaped) return 0;
  int status = 0;
  std::optional<int> result;
  WaitUntil([&] {
    pid_t done = waitpid(m_pid, &status, WNOHANG);
    if (done == m_pid || done < 0) {
      m_reaped = true;
      result = status;
    }
    return result.has_value();
  }, timeout);
  return result;
}

bool Process::Running() { return !m_reaped && !WaitExit(std::chrono::milliseconds(0)); }

void Process::Kill() {
  if (m_reaped) return;
  kill(-m_pid, SIGTERM);
  if (WaitExit(std::chrono::seconds(3))) return;
  kill(-m_pid, SIGKILL);
  WaitExit(std::chrono::seconds(5));
}

CommandResult RunCommand(const std::vector<std::string>& argv, const Env& env) {
  CommandResult result;
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) return result;
  pid_t pid = Spawn(argv, env, "", pipe_fds[1], false);
  close(pipe_fds[1]);
  char buffer[4096];
  ssize_t got;
  while ((got = read(pipe_fds[0], buffer, sizeof(buffer))) > 0) result.output.append(buffer, got);
  close(pipe_fds[0]);
  if (pid <= 0) return result;
  int status = 0;
  waitpid(pid, &status, 0);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::vector<pid_t> ProcessesRunning(const std::string& path) {
  std::vector<pid_t> pids;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return pids;
  while (dirent* entry = readdir(proc)) {
    pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
    if (pid <= 0) continue;
    char target[4096];
    std::string link = std::string("/proc/") + entry->d_name + "/exe";
    ssize_t length = readlink(link.c_str(), target, sizeof(target) - 1);
    if (length <= 0) continue;
    std::string exe(target, static_cast<std::size_t>(length));
    if (exe == path || exe == path + " (deleted)") pids.push_back(pid);
  }
  closedir(proc);
  return pids;
}

void KillProcessesUnder(const std::string& folder) {
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return;
  while (dirent* entry = readdir(proc)) {
    pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
    if (pid <= 0) continue;
    char target[4096];
    std::string link = std::string("/proc/") + entry->d_name + "/exe";
    ssize_t length = readlink(link.c_str(), target, sizeof(target) - 1);
    if (length > 0 && std::string(target, length).rfind(folder + "/", 0) == 0) kill(pid, SIGKILL);
  }
  closedir(proc);
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace guitest
