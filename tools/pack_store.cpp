// quillory-pack store PLAIN_DIR DATA_DIR [--force]: builds the content store.
#include <cstdio>
#include <cstring>
#include <string>

#include "pack_commands.h"
#include "platform/fs.h"
#include "server/store_builder.h"

int RunStoreCommand(int argc, char** argv) {
  const char* plain = nullptr;
  const char* data = nullptr;
  bool force = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--force") == 0) {
      force = true;
    } else if (plain == nullptr) {
      plain = argv[i];
    } else if (data == nullptr) {
      data = argv[i];
    } else {
      plain = nullptr;  // too many arguments
      break;
    }
  }
  if (plain == nullptr || data == nullptr) {
    std::fprintf(stderr, "usage: quillory-pack store PLAIN_DIR DATA_DIR [--force]\n");
    return 2;
  }
  std::string error;
  auto print = [](const std::string& line) { std::printf("%s\n", line.c_str()); };
  if (!BuildContentStore(platform::FromFsName(plain), platform::FromFsName(data), force, print,
                         &error)) {
    std::fflush(stdout);
    std::fprintf(stderr, "quillory-pack store: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
