// Killed writers through fork, a pipe for the progress and SIGKILL.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/killed_writer.h"

namespace test {

bool CanKillWriters() { return true; }

bool KillWriterAfter(const std::function<bool(int)>& write, int writes) {
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return false;
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::close(pipe_fds[0]);
    for (int i = 1;; ++i) {
      if (!write(i)) ::_exit(2);
      char done = 1;
      if (::write(pipe_fds[1], &done, 1) != 1) ::_exit(3);
    }
  }
  ::close(pipe_fds[1]);
  bool seen = true;
  char done;
  for (int i = 0; i < writes && seen; ++i) seen = ::read(pipe_fds[0], &done, 1) == 1;
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  ::close(pipe_fds[0]);
  return seen && WIFSIGNALED(status);
}

}  // namespace test
