// The signing side of minisign, for the publisher's tool: unencrypted secret
// key files (as `minisign -G -W` writes them), key generation and signature
// files. A secret key file's second line is the base64 of "Ed", the key
// derivation algorithm (two zero bytes: none), "B2", a 32-byte salt, two
// 8-byte limits (all unused without a password), the 8-byte key id, the
// 64-byte Ed25519 secret key and a 32-byte BLAKE2b checksum of "Ed", key id
// and secret key. Safe on any thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "update/minisign.h"

struct MinisignSecretKey {
  MinisignKeyId key_id{};
  std::array<std::uint8_t, 64> secret{};  // libsodium's form: seed, then public key
};

// A secret key file. No result when it is malformed, encrypted (a password
// would be needed), its checksum is wrong (an all-zero checksum, as minisign
// writes for unencrypted keys, is accepted), or its two halves do not belong
// together.
std::optional<MinisignSecretKey> ParseMinisignSecretKeyFile(const std::string& text);
// The text of an unencrypted secret key file, checksum included.
std::string FormatMinisignSecretKeyFile(const MinisignSecretKey& key);
// A new key pair with a random key id; no result when libsodium cannot start.
std::optional<MinisignSecretKey> GenerateMinisignKey();
MinisignPublicKey PublicKeyOf(const MinisignSecretKey& key);

// The signature file for `message` with `trusted_comment`, prehashed ("ED")
// unless `prehash` is false ("Ed"). No result when the comment holds a line
// end or a zero byte.
std::optional<std::string> SignMinisign(const std::string& message, const MinisignSecretKey& key,
                                        const std::string& trusted_comment, bool prehash = true);
