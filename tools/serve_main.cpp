// quillory-serve PROGRAM_DIR [--dev]: the local content server without a
// window, for tests, benchmarks and content authors. Prints the port alone
// on its first line and serves until interrupted or terminated.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/fs.h"
#include "platform/stop_signal.h"
#include "server/server.h"
#include "shell/shared_values.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: quillory-serve PROGRAM_DIR [--dev]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const char* program_dir = nullptr;
  bool force_dev = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--dev") == 0) {
      force_dev = true;
    } else if (program_dir == nullptr) {
      program_dir = argv[i];
    } else {
      return Usage();
    }
  }
  if (program_dir == nullptr) return Usage();
  std::wstring app_dir = platform::FromFsName(program_dir);
  if (app_dir.empty() || app_dir.back() != platform::kPathSeparator) {
    app_dir += platform::kPathSeparator;
  }
  ComputeStartValuesFor(app_dir);
  if (force_dev) {
    g_bDevMode = true;
    g_strDataDir = L"Deve";
  }
  std::wstring content = g_strAppDir + g_strDataDir;
  if (!platform::IsDirectory(content)) {
    std::fprintf(stderr, "quillory-serve: no content folder %s\n",
                 platform::ToFsName(content).c_str());
    return 1;
  }
  platform::BlockStopSignals();
  if (StartServer() != 0) {
    std::fprintf(stderr, "quillory-serve: the server could not start\n");
    return 1;
  }
  std::printf("%s\n", platform::ToFsName(g_strPort).c_str());
  std::fflush(stdout);
  platform::WaitForStopSignal();
  StopServer();
  return 0;
}
