// Keys and signatures of quillory-pack: `keygen DIR` and the signature that
// `manifest --sign` writes beside the manifest.
#pragma once

#include <optional>
#include <string>

#include "update/minisign_sign.h"

// Secret and public key file names that `keygen` writes into its folder,
// named the way minisign names its own pair (minisign.key, minisign.pub).
inline constexpr char kSecretKeyFileName[] = "quillory.key";
inline constexpr char kPublicKeyFileName[] = "quillory.pub";

// The unencrypted minisign secret key in the file at `path`; no result, with
// a message on standard error, when it cannot be read or is not one.
std::optional<MinisignSecretKey> ReadSecretKeyFile(const std::string& path);

// Signs the file at `manifest_path` (its bytes as they are on disk) and
// writes the signature to `manifest_path` + ".minisig". False, with a message
// on standard error, when a file cannot be read or written.
bool WriteManifestSignature(const std::string& manifest_path, const MinisignSecretKey& key,
                            const std::string& trusted_comment);
