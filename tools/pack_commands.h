// The commands of quillory-pack. Each returns the process exit code.
#pragma once

int RunStoreCommand(int argc, char** argv);    // store PLAIN_DIR DATA_DIR [--force]
int RunPackageCommand(int argc, char** argv);  // package DIR OUT.vkp
// manifest --version V --out FILE [--sign KEY --sequence N [--expires TIME]] ITEM...
int RunManifestCommand(int argc, char** argv);
int RunKeygenCommand(int argc, char** argv);  // keygen DIR
