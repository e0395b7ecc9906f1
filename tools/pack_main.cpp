// quillory-pack: content tooling for authors, publishers and tests.
#include <cstdio>
#include <cstring>

#include "pack_commands.h"

namespace {

void PrintUsage() {
  std::fprintf(stderr,
               "usage: quillory-pack store PLAIN_DIR DATA_DIR [--force]\n"
               "       quillory-pack package DIR OUT.vkp\n"
               "       quillory-pack manifest --version V --out FILE [--sign SECRET_KEY\n"
               "           --sequence N [--expires YYYY-MM-DDTHH:MM:SSZ]] PATH,FOLDER,URL,KIND...\n"
               "       quillory-pack keygen DIR\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage();
    return 2;
  }
  // Each command sees its own arguments, argv[0] being the command name.
  if (std::strcmp(argv[1], "store") == 0) return RunStoreCommand(argc - 1, argv + 1);
  if (std::strcmp(argv[1], "package") == 0) return RunPackageCommand(argc - 1, argv + 1);
  if (std::strcmp(argv[1], "manifest") == 0) return RunManifestCommand(argc - 1, argv + 1);
  if (std::strcmp(argv[1], "keygen") == 0) return RunKeygenCommand(argc - 1, argv + 1);
  PrintUsage();
  return 2;
}
