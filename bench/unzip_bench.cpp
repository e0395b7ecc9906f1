// Unpacks one archive with UnzipArchive into a fresh folder and prints the
// wall time in seconds. Driven by unzip_bench.sh, which times the anchors.
// Usage: unzip_bench ARCHIVE TARGET_FOLDER
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "platform/fs.h"
#include "util/zip.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: unzip_bench ARCHIVE TARGET_FOLDER\n");
    return 2;
  }
  std::filesystem::create_directories(argv[2]);
  auto start = std::chrono::steady_clock::now();
  bool ok = UnzipArchive(platform::FromFsName(argv[1]), platform::FromFsName(argv[2])).ok();
  std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  std::printf("%.3f\n", seconds.count());
  return ok ? 0 : 1;
}
