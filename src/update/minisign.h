// Reading and checking minisign files: public keys and signatures. A
// signature file has four lines: "untrusted comment: ...", the base64 of the
// algorithm ("ED": Ed25519 over the BLAKE2b-512 digest of the file, "Ed":
// Ed25519 over the file itself), the 8-byte key id and the 64-byte signature,
// "trusted comment: TEXT", and the base64 of the global signature over the
// signature bytes followed by TEXT. Pure functions over bytes in memory; safe
// on any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "util/outcome.h"

// Longest signature file that is read at all; a longer one is refused whole.
inline constexpr std::size_t kMaxMinisignSignatureBytes = 4096;

using MinisignKeyId = std::array<std::uint8_t, 8>;

struct MinisignPublicKey {
  MinisignKeyId key_id{};
  std::array<std::uint8_t, 32> key{};  // Ed25519 public key
};

struct MinisignSignature {
  bool prehashed = true;  // "ED"; false for "Ed"
  MinisignKeyId key_id{};
  std::array<std::uint8_t, 64> signature{};
  std::string trusted_comment;  // the text after "trusted comment: "
  std::array<std::uint8_t, 64> global_signature{};
};

// The second line of a public key file: base64 of "Ed", key id and key. No
// result when it is not exactly that.
std::optional<MinisignPublicKey> ParseMinisignPublicKeyLine(const std::string& base64);
// A whole public key file (an untrusted comment line, then the key line).
std::optional<MinisignPublicKey> ParseMinisignPublicKeyFile(const std::string& text);
// The text of a public key file for `key`, as minisign writes it.
std::string FormatMinisignPublicKeyFile(const MinisignPublicKey& key);

// A signature file. No result when it is longer than
// kMaxMinisignSignatureBytes or any line is malformed.
std::optional<MinisignSignature> ParseMinisignSignatureFile(const std::string& text);

// Checks `signature_file` over `message` (its bytes exactly): the file
// parses, its key id is that of one of `keys`, and both the signature and the
// global signature verify with that key. When all of that holds, succeeds and
// sets `*trusted_comment`; otherwise fails with "not well-formed", "unknown
// key id" (also when `keys` is empty) or "does not verify".
Outcome VerifyMinisign(const std::string& message, const std::string& signature_file,
                       const std::vector<MinisignPublicKey>& keys, std::string* trusted_comment);

// Helpers shared with the signing side.
// Standard base64 with padding; no result for anything else (no white space).
std::optional<std::string> DecodeMinisignBase64(const std::string& text);
std::string EncodeMinisignBase64(const std::string& bytes);
// Splits `text` into exactly `count` lines ("\n" or "\r\n" ends). Only empty
// lines may follow them; no line may hold a zero byte or a lone "\r".
std::optional<std::vector<std::string>> SplitMinisignLines(const std::string& text,
                                                           std::size_t count);
// The message that Ed25519 signs: the BLAKE2b-512 digest of `message` when
// prehashed, else `message` itself.
std::string MinisignSignedBytes(const std::string& message, bool prehashed);
// The key id as minisign prints it: the little-endian number in upper-case hex.
std::string FormatMinisignKeyId(const MinisignKeyId& key_id);
