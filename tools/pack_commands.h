// The commands of quillory-pack. Each returns the process exit code.
#pragma once

int RunStoreCommand(int argc, char** argv);     // store PLAIN_DIR DATA_DIR [--force]
int RunPackageCommand(int argc, char** argv);   // package DIR OUT.vkp
int RunManifestCommand(int argc, char** argv);  // manifest --version V --out FILE ITEM...
