// Unencrypted minisign secret keys and signing, with libsodium.
#include "update/minisign_sign.h"

#include <sodium.h>

#include <cstring>

namespace {

constexpr char kUntrustedPrefix[] = "untrusted comment: ";
constexpr char kSignatureAlgorithm[] = "Ed";
constexpr char kNoKeyDerivation[] = {'\0', '\0'};
constexpr char kChecksumAlgorithm[] = "B2";
constexpr std::size_t kAlgorithmBytes = 2;
// Salt (32) and the two limits (8 each) of the key derivation, unused here.
constexpr std::size_t kKeyDerivationBytes = 32 + 8 + 8;
constexpr std::size_t kKeyIdAt = 3 * kAlgorithmBytes + kKeyDerivationBytes;
constexpr std::size_t kSecretAt = kKeyIdAt + 8;
constexpr std::size_t kChecksumAt = kSecretAt + 64;
constexpr std::size_t kChecksumBytes = 32;
constexpr std::size_t kSecretKeyBytes = kChecksumAt + kChecksumBytes;

template <std::size_t N>
std::string AsBytes(const std::array<std::uint8_t, N>& value) {
  return std::string(reinterpret_cast<const char*>(value.data()), N);
}

std::string Checksum(const MinisignSecretKey& key) {
  const std::string input = kSignatureAlgorithm + AsBytes(key.key_id) + AsBytes(key.secret);
  std::string checksum(kChecksumBytes, '\0');
  crypto_generichash(reinterpret_cast<unsigned char*>(checksum.data()), checksum.size(),
                     reinterpret_cast<const unsigned char*>(input.data()), input.size(), nullptr,
                     0);
  return checksum;
}

// The public half stored in the secret key must be the one its seed gives.
bool HalvesBelongTogether(const MinisignSecretKey& key) {
  unsigned char public_key[crypto_sign_PUBLICKEYBYTES];
  unsigned char secret[crypto_sign_SECRETKEYBYTES];
  crypto_sign_seed_keypair(public_key, secret, key.secret.data());
  const bool same = std::memcmp(public_key, key.secret.data() + crypto_sign_SEEDBYTES,
                                crypto_sign_PUBLICKEYBYTES) == 0;
  sodium_memzero(secret, sizeof secret);
  return same;
}

std::string Sign(const std::string& message, const MinisignSecretKey& key) {
  std::string signature(crypto_sign_BYTES, '\0');
  crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                       reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                       key.secret.data());
  return signature;
}

}  // namespace

std::optional<MinisignSecretKey> ParseMinisignSecretKeyFile(const std::string& text) {
  if (sodium_init() < 0) return std::nullopt;
  const auto lines = SplitMinisignLines(text, 2);
  if (!lines || (*lines)[0].compare(0, std::strlen(kUntrustedPrefix), kUntrustedPrefix) != 0)
    return std::nullopt;
  const std::optional<std::string> bytes = DecodeMinisignBase64((*lines)[1]);
  if (!bytes || bytes->size() != kSecretKeyBytes ||
      bytes->compare(0, 2, kSignatureAlgorithm) != 0 ||
      bytes->compare(2, 2, kNoKeyDerivation, 2) != 0 ||
      bytes->compare(4, 2, kChecksumAlgorithm) != 0) {
    return std::nullopt;
  }
  MinisignSecretKey key;
  std::memcpy(key.key_id.data(), bytes->data() + kKeyIdAt, key.key_id.size());
  std::memcpy(key.secret.data(), bytes->data() + kSecretAt, key.secret.size());
  const std::string checksum = bytes->substr(kChecksumAt, kChecksumBytes);
  const bool unset = checksum == std::string(kChecksumBytes, '\0');
  if ((!unset && checksum != Checksum(key)) || !HalvesBelongTogether(key)) return std::nullopt;
  return key;
}

std::string FormatMinisignSecretKeyFile(const MinisignSecretKey& key) {
  std::string bytes = std::string(kSignatureAlgorithm) + std::string(kNoKeyDerivation, 2) +
                      kChecksumAlgorithm + std::string(kKeyDerivationBytes, '\0') +
                      AsBytes(key.key_id) + AsBytes(key.secret) + Checksum(key);
  return std::string(kUntrustedPrefix) + "minisign unencrypted secret key\n" +
         EncodeMinisignBase64(bytes) + "\n";
}

std::optional<MinisignSecretKey> GenerateMinisignKey() {
  if (sodium_init() < 0) return std::nullopt;
  MinisignSecretKey key;
  unsigned char public_key[crypto_sign_PUBLICKEYBYTES];
  crypto_sign_keypair(public_key, key.secret.data());
  randombytes_buf(key.key_id.data(), key.key_id.size());
  return key;
}

MinisignPublicKey PublicKeyOf(const MinisignSecretKey& key) {
  MinisignPublicKey public_key;
  public_key.key_id = key.key_id;
  std::memcpy(public_key.key.data(), key.secret.data() + crypto_sign_SEEDBYTES,
              public_key.key.size());
  return public_key;
}

std::optional<std::string> SignMinisign(const std::string& message, const MinisignSecretKey& key,
                                        const std::string& trusted_comment, bool prehash) {
  if (sodium_init() < 0 ||
      trusted_comment.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
    return std::nullopt;
  }
  const std::string algorithm = prehash ? "ED" : kSignatureAlgorithm;
  const std::string signature = Sign(MinisignSignedBytes(message, prehash), key);
  const std::string global = Sign(signature + trusted_comment, key);
  return std::string(kUntrustedPrefix) + "signature from quillory-pack secret key\n" +
         EncodeMinisignBase64(algorithm + AsBytes(key.key_id) + signature) + "\n" +
         "trusted comment: " + trusted_comment + "\n" + EncodeMinisignBase64(global) + "\n";
}
