// Starting, waiting for and ending the programs a GUI test runs.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace guitest {

using Env = std::map<std::string, std::string>;

// A started program in its own process group. Killed (with its group) when
// destroyed unless it has already been waited for.
class Process {
 public:
  // Starts argv[0] (searched in PATH) with this process's environment plus
  // `env` (a value replaces the inherited one). Output goes to `log_file`
  // (appended) or /dev/null. Null when it could not be started.
  static std::unique_ptr<Process> Start(const std::vector<std::string>& argv, const Env& env = {},
                                        const std::string& log_file = "");
  ~Process();

  pid_t Pid() const { return m_pid; }
  // Waits until the program ends; its exit status (as waitpid gives it), or
  // none when it was still running at the deadline.
  std::optional<int> WaitExit(std::chrono::milliseconds timeout);
  bool Running();
  // SIGTERM then SIGKILL to the whole group; waits for the program.
  void Kill();

 private:
  explicit Process(pid_t pid) : m_pid(pid) {}
  pid_t m_pid;
  bool m_reaped = false;
};

struct CommandResult {
  int exit_code = -1;
  std::string output;  // standard output only
};
// Runs a command to its end (standard error to /dev/null), with `env` added.
CommandResult RunCommand(const std::vector<std::string>& argv, const Env& env = {});

// Kills every process whose executable file lies under `folder` (programs
// the shell started detached, outside our process groups).
void KillProcessesUnder(const std::string& folder);
// Pids of the processes whose executable is exactly `path`.
std::vector<pid_t> ProcessesRunning(const std::string& path);

// Polls `condition` every 20 ms until it holds or `timeout` passes.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(20));

}  // namespace guitest
