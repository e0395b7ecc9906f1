// quillory-pack keygen DIR, and the manifest signature of `manifest --sign`.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>

#include "pack_commands.h"
#include "pack_sign.h"

namespace fs = std::filesystem;

namespace {

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return bytes.str();
}

// Writes a new file; never replaces one. A secret file is made readable by
// its owner only before anything is written into it.
bool WriteNewFile(const fs::path& path, const std::string& bytes, bool secret) {
  std::error_code error;
  if (fs::exists(path, error) || error) {
    std::fprintf(stderr, "quillory-pack: '%s' exists already\n", path.c_str());
    return false;
  }
  std::ofstream out(path, std::ios::binary);
  if (out && secret) {
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace,
                    error);
  }
  if (!out || error || !(out << bytes) || !out.flush()) {
    std::fprintf(stderr, "quillory-pack: cannot write '%s'\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace

std::optional<MinisignSecretKey> ReadSecretKeyFile(const std::string& path) {
  const std::optional<std::string> text = ReadWholeFile(path);
  std::optional<MinisignSecretKey> key = text ? ParseMinisignSecretKeyFile(*text) : std::nullopt;
  if (!key) {
    std::fprintf(stderr, "quillory-pack: '%s' is not an unencrypted minisign secret key\n",
                 path.c_str());
  }
  return key;
}

bool WriteManifestSignature(const std::string& manifest_path, const MinisignSecretKey& key,
                            const std::string& trusted_comment) {
  const std::optional<std::string> manifest = ReadWholeFile(manifest_path);
  const std::optional<std::string> signature =
      manifest ? SignMinisign(*manifest, key, trusted_comment) : std::nullopt;
  const std::string signature_path = manifest_path + ".minisig";
  std::ofstream out(signature_path, std::ios::binary | std::ios::trunc);
  if (!signature || !out || !(out << *signature) || !out.flush()) {
    std::fprintf(stderr, "quillory-pack: cannot write '%s'\n", signature_path.c_str());
    return false;
  }
  return true;
}

int RunKeygenCommand(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quillory-pack keygen DIR\n");
    return 2;
  }
  const fs::path folder(argv[1]);
  std::error_code error;
  if (fs::exists(folder / kSecretKeyFileName, error) ||
      fs::exists(folder / kPublicKeyFileName, error)) {
    std::fprintf(stderr, "quillory-pack keygen: '%s' holds a key pair already\n", argv[1]);
    return 1;
  }
  fs::create_directories(folder, error);
  const std::optional<MinisignSecretKey> key = GenerateMinisignKey();
  if (error || !key) {
    std::fprintf(stderr, "quillory-pack keygen: cannot make a key pair in '%s'\n", argv[1]);
    return 1;
  }
  if (!WriteNewFile(folder / kSecretKeyFileName, FormatMinisignSecretKeyFile(*key), true) ||
      !WriteNewFile(folder / kPublicKeyFileName, FormatMinisignPublicKeyFile(PublicKeyOf(*key)),
                    false)) {
    return 1;
  }
  std::printf("%s\n", (folder / kPublicKeyFileName).c_str());
  return 0;
}
