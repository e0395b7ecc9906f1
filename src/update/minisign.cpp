// minisign public keys and signatures, checked with libsodium.
#include "update/minisign.h"

#include <sodium.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr char kUntrustedPrefix[] = "untrusted comment: ";
constexpr char kTrustedPrefix[] = "trusted comment: ";
constexpr char kAlgorithmPlain[] = "Ed";
constexpr char kAlgorithmPrehashed[] = "ED";
constexpr std::size_t kAlgorithmBytes = 2;
constexpr std::size_t kBlake2b512Bytes = 64;

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

template <std::size_t N>
void CopyOut(const std::string& bytes, std::size_t at, std::array<std::uint8_t, N>* out) {
  std::memcpy(out->data(), bytes.data() + at, N);
}

template <std::size_t N>
std::string AsBytes(const std::array<std::uint8_t, N>& value) {
  return std::string(reinterpret_cast<const char*>(value.data()), N);
}

bool VerifyDetached(const std::array<std::uint8_t, 64>& signature, const std::string& message,
                    const MinisignPublicKey& key) {
  return crypto_sign_verify_detached(signature.data(),
                                     reinterpret_cast<const unsigned char*>(message.data()),
                                     message.size(), key.key.data()) == 0;
}

// Both signatures of `signature` under `key`, whose key id must be the signature's.
bool VerifyWithKey(const std::string& message, const MinisignSignature& signature,
                   const MinisignPublicKey& key) {
  if (!VerifyDetached(signature.signature, MinisignSignedBytes(message, signature.prehashed), key))
    return false;
  return VerifyDetached(signature.global_signature,
                        AsBytes(signature.signature) + signature.trusted_comment, key);
}

}  // namespace

std::optional<std::string> DecodeMinisignBase64(const std::string& text) {
  if (sodium_init() < 0) return std::nullopt;
  std::string bytes(text.size(), '\0');
  std::size_t length = 0;
  const char* end = nullptr;
  if (sodium_base642bin(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(), text.data(),
                        text.size(), nullptr, &length, &end, sodium_base64_VARIANT_ORIGINAL) != 0 ||
      end != text.data() + text.size()) {
    return std::nullopt;
  }
  bytes.resize(length);
  return bytes;
}

std::string EncodeMinisignBase64(const std::string& bytes) {
  std::string text(sodium_base64_encoded_len(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(text.data(), text.size(), reinterpret_cast<const unsigned char*>(bytes.data()),
                    bytes.size(), sodium_base64_VARIANT_ORIGINAL);
  text.resize(text.size() - 1);  // the terminating zero
  return text;
}

std::optional<std::vector<std::string>> SplitMinisignLines(const std::string& text,
                                                           std::size_t count) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find('\r') != std::string::npos || line.find('\0') != std::string::npos)
      return std::nullopt;
    if (lines.size() < count) {
      lines.push_back(std::move(line));
    } else if (!line.empty()) {
      return std::nullopt;
    }
    start = end + 1;
  }
  if (lines.size() != count) return std::nullopt;
  return lines;
}

std::string MinisignSignedBytes(const std::string& message, bool prehashed) {
  if (!prehashed) return message;
  std::string digest(kBlake2b512Bytes, '\0');
  crypto_generichash(reinterpret_cast<unsigned char*>(digest.data()), digest.size(),
                     reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                     nullptr, 0);
  return digest;
}

std::string FormatMinisignKeyId(const MinisignKeyId& key_id) {
  std::uint64_t number = 0;
  for (std::size_t i = key_id.size(); i-- > 0;) number = (number << 8) | key_id[i];
  char text[17];
  std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(number));
  return text;
}

std::optional<MinisignPublicKey> ParseMinisignPublicKeyLine(const std::string& base64) {
  const std::optional<std::string> bytes = DecodeMinisignBase64(base64);
  MinisignPublicKey key;
  if (!bytes || bytes->size() != kAlgorithmBytes + key.key_id.size() + key.key.size() ||
      bytes->compare(0, kAlgorithmBytes, kAlgorithmPlain) != 0) {
    return std::nullopt;
  }
  CopyOut(*bytes, kAlgorithmBytes, &key.key_id);
  CopyOut(*bytes, kAlgorithmBytes + key.key_id.size(), &key.key);
  return key;
}

std::optional<MinisignPublicKey> ParseMinisignPublicKeyFile(const std::string& text) {
  const auto lines = SplitMinisignLines(text, 2);
  if (!lines || !StartsWith((*lines)[0], kUntrustedPrefix)) return std::nullopt;
  return ParseMinisignPublicKeyLine((*lines)[1]);
}

std::string FormatMinisignPublicKeyFile(const MinisignPublicKey& key) {
  return std::string(kUntrustedPrefix) + "minisign public key " + FormatMinisignKeyId(key.key_id) +
         "\n" + EncodeMinisignBase64(kAlgorithmPlain + AsBytes(key.key_id) + AsBytes(key.key)) +
         "\n";
}

std::optional<MinisignSignature> ParseMinisignSignatureFile(const std::string& text) {
  if (text.size() > kMaxMinisignSignatureBytes) return std::nullopt;
  const auto lines = SplitMinisignLines(text, 4);
  if (!lines || !StartsWith((*lines)[0], kUntrustedPrefix) ||
      !StartsWith((*lines)[2], kTrustedPrefix)) {
    return std::nullopt;
  }
  MinisignSignature signature;
  const std::optional<std::string> bytes = DecodeMinisignBase64((*lines)[1]);
  const std::optional<std::string> global = DecodeMinisignBase64((*lines)[3]);
  if (!bytes || bytes->size() != kAlgorithmBytes + signature.key_id.size() + 64 || !global ||
      global->size() != signature.global_signature.size()) {
    return std::nullopt;
  }
  const std::string algorithm = bytes->substr(0, kAlgorithmBytes);
  if (algorithm != kAlgorithmPrehashed && algorithm != kAlgorithmPlain) return std::nullopt;
  signature.prehashed = algorithm == kAlgorithmPrehashed;
  CopyOut(*bytes, kAlgorithmBytes, &signature.key_id);
  CopyOut(*bytes, kAlgorithmBytes + signature.key_id.size(), &signature.signature);
  signature.trusted_comment = (*lines)[2].substr(std::strlen(kTrustedPrefix));
  CopyOut(*global, 0, &signature.global_signature);
  return signature;
}

Outcome VerifyMinisign(const std::string& message, const std::string& signature_file,
                       const std::vector<MinisignPublicKey>& keys, std::string* trusted_comment) {
  if (sodium_init() < 0) return Outcome::Failure("no crypto library");
  const std::optional<MinisignSignature> signature = ParseMinisignSignatureFile(signature_file);
  if (!signature) return Outcome::Failure("not well-formed");
  // Key ids are not secret and may collide; any key of that id that verifies will do.
  bool known_id = false;
  for (const MinisignPublicKey& key : keys) {
    if (key.key_id != signature->key_id) continue;
    known_id = true;
    if (VerifyWithKey(message, *signature, key)) {
      *trusted_comment = signature->trusted_comment;
      return Outcome::Success();
    }
  }
  return Outcome::Failure(known_id ? "does not verify" : "unknown key id");
}
