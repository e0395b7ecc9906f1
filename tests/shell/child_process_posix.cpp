// Child processes and the environment over POSIX calls.
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "shell/child_process.h"

namespace test_support {

std::string ThisProgram() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

long CurrentProcessId() { return static_cast<long>(::getpid()); }

std::string DetachmentMark() { return "session " + std::to_string(::getsid(0)); }

std::string PrivateTmpFolderOfThisUser() { return "/tmp/quillory-" + std::to_string(::getuid()); }

void SetEnv(const std::string& name, const std::string& value) {
  ::setenv(name.c_str(), value.c_str(), 1);
}
void UnsetEnv(const std::string& name) { ::unsetenv(name.c_str()); }

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) == 0) m_id = pid;
}

ChildProcess::~ChildProcess() {
  Kill();
  Wait();
}

int ChildProcess::Wait() {
  if (!Started() || m_reaped) return -1;
  int status = 0;
  m_reaped = waitpid(static_cast<pid_t>(m_id), &status, 0) == m_id;
  return m_reaped && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ChildProcess::Kill() {
  if (Started() && !m_reaped) ::kill(static_cast<pid_t>(m_id), SIGKILL);
}

}  // namespace test_support
