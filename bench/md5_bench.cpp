// Hashes one file with MD5File and with `openssl dgst -md5` in the same run
// and prints both throughputs and their ratio. Run by hand (see md5_bench.sh);
// not a test. Each side is measured several times, interleaved, and its best
// time counts. Throughput is given by processor time (user + system, of this
// process for MD5File and of the child for openssl), which other load on a
// shared machine hardly disturbs, and by wall-clock time.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "util/md5.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRepetitions = 3;

struct Times {
  double cpu = 1e30;
  double wall = 1e30;
};

double CpuSeconds(int who) {
  rusage usage{};
  ::getrusage(who, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Runs `measured` once and keeps the best processor and wall-clock times.
template <typename Fn>
std::string Measure(int who, Times& best, Fn measured) {
  const double cpu_start = CpuSeconds(who);
  const auto wall_start = Clock::now();
  std::string digest = measured();
  const double wall = std::chrono::duration<double>(Clock::now() - wall_start).count();
  best.cpu = std::min(best.cpu, CpuSeconds(who) - cpu_start);
  best.wall = std::min(best.wall, wall);
  return digest;
}

// Digest printed by `openssl dgst -md5 -r FILE`; "" on failure.
std::string OpenSslDigest(const std::string& file) {
  const std::string command = "openssl dgst -md5 -r '" + file + "'";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  if (!pipe) return std::string();
  char line[256] = {};
  const bool got = std::fgets(line, sizeof(line), pipe.get()) != nullptr;
  return got ? std::string(line, 32) : std::string();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  const std::string file = argv[1];
  const double megabytes = static_cast<double>(std::filesystem::file_size(file)) / 1e6;
  Times ours;
  Times openssl;
  for (int i = 0; i < kRepetitions; ++i) {
    const std::string a = Measure(RUSAGE_SELF, ours, [&] { return MD5File(file).value_or("-"); });
    const std::string b = Measure(RUSAGE_CHILDREN, openssl, [&] { return OpenSslDigest(file); });
    if (a != b) {
      std::fprintf(stderr, "digests differ: %s vs %s\n", a.c_str(), b.c_str());
      return 1;
    }
  }
  std::printf(
      "MD5File %.0f MB/s (wall %.0f), openssl %.0f MB/s (wall %.0f), wall ratio %.3f,"
      " ratio %.3f\n",
      megabytes / ours.cpu, megabytes / ours.wall, megabytes / openssl.cpu,
      megabytes / openssl.wall, openssl.wall / ours.wall, openssl.cpu / ours.cpu);
  return 0;
}
