// placeholder: replaced by the real command
#include <cstdio>
#include "pack_commands.h"
int RunPackageCommand(int, char**) { std::fprintf(stderr, "not available yet\n"); return 2; }
