#include "hardening/kill_support.h"

#include <signal.h>
#include <sys/wait.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace hardening {

namespace fs = std::filesystem;

KilledChild::KilledChild(const std::function<void(int)>& body) {
  int fds[2];
  if (pipe(fds) != 0) return;
  m_pid = fork();
  if (m_pid == 0) {
    close(fds[0]);
    body(fds[1]);
    _exit(0);
  }
  close(fds[1]);
  m_progress = fds[0];
}

KilledChild::~KilledChild() {
  if (m_pid > 0) Kill();
  if (m_progress >= 0) close(m_progress);
}

bool KilledChild::WaitReady(double limit_seconds) {
  pollfd fd{m_progress, POLLIN, 0};
  if (poll(&fd, 1, static_cast<int>(limit_seconds * 1000)) != 1) return false;
  char byte;
  return read(m_progress, &byte, 1) == 1;
}

bool KilledChild::Kill() {
  if (m_pid <= 0) return false;
  // Looked at without reaping: the child's process id stays ours until the
  // waitpid below, so the kill cannot reach another process.
  siginfo_t info{};
  const bool running =
      waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
      info.si_pid == 0;
  kill(m_pid, SIGKILL);
  waitpid(m_pid, nullptr, 0);
  m_pid = -1;
  return running;
}

int KilledChild::Wait() {
  int status = 0;
  if (m_pid <= 0 || waitpid(m_pid, &status, 0) != m_pid) return -1;
  m_pid = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Ready(int progress_fd) {
  const char byte = 1;
  (void)!write(progress_fd, &byte, 1);
}

std::mt19937& Random() {
  static std::mt19937 generator = [] {
    const unsigned seed = std::random_device()();
    std::printf("fault injection seed %u\n", seed);
    return std::mt19937(seed);
  }();
  return generator;
}

void SleepRandomMoment(long limit_us) { SleepRandomMoment(0, limit_us); }

void SleepRandomMoment(long from_us, long limit_us) {
  std::uniform_int_distribution<long> moment(from_us, limit_us < from_us ? from_us : limit_us);
  std::this_thread::sleep_for(std::chrono::microseconds(moment(Random())));
}

std::map<std::string, std::string> FilesBelow(const std::string& folder,
                                              std::map<std::string, std::string>* temporaries) {
  std::map<std::string, std::string> files;
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    if (!it->is_regular_file()) continue;
    std::ifstream in(it->path(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string name = fs::relative(it->path(), folder).string();
    const std::string leaf = it->path().filename().string();
    const bool temporary = (leaf.rfind(".quillory-", 0) == 0 && it->path().extension() == ".part") ||
                           it->path().extension() == ".tmp";
    if (temporary && temporaries != nullptr) {
      (*temporaries)[name] = bytes;
    } else {
      files[name] = bytes;
    }
  }
  return files;
}

}  // namespace hardening
