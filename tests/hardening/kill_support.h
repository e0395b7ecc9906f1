// Fault injection by SIGKILL: children that do one job, told apart from the
// moment they are killed, and checks of what they leave behind.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <random>
#include <string>

namespace hardening {

// A forked child running `body`, which gets the write end of a pipe on which
// it reports progress (one byte per step, see Ready). The child ends with
// _exit(0) when `body` returns.
class KilledChild {
 public:
  explicit KilledChild(const std::function<void(int progress_fd)>& body);
  ~KilledChild();
  KilledChild(const KilledChild&) = delete;
  KilledChild& operator=(const KilledChild&) = delete;

  // Waits until the child has reported a first step; false when it ended or
  // did not report within `limit_seconds`.
  bool WaitReady(double limit_seconds);
  // SIGKILL and reap. True when the child was still running (the kill hit).
  bool Kill();
  // Waits for the child to end by itself; its exit code, -1 when killed.
  int Wait();

 private:
  pid_t m_pid = -1;
  int m_progress = -1;
};

// Reports one step to the parent.
void Ready(int progress_fd);

// Sleeps a random moment in [0, limit_us] (or [from_us, limit_us])
// microseconds: the point of the kill. Seeded once per process; the seed is
// printed for a rerun.
void SleepRandomMoment(long limit_us);
void SleepRandomMoment(long from_us, long limit_us);
std::mt19937& Random();

// Regular files below `folder`, relative path -> bytes. Temporary files of
// the atomic writers (".quillory-*.part", "*.tmp") are listed apart in
// `temporaries` when it is given.
std::map<std::string, std::string> FilesBelow(const std::string& folder,
                                              std::map<std::string, std::string>* temporaries);

}  // namespace hardening
