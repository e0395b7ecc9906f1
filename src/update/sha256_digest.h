// Incremental SHA-256 over the library each build has: OpenSSL's libcrypto on
// Linux (the processor's SHA instructions where there are any), libsodium's
// on Windows, whose build carries no OpenSSL. CMake compiles one of
// sha256_digest_openssl.cpp and sha256_digest_sodium.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <optional>

class Sha256Digest {
 public:
  using Bytes = std::array<unsigned char, 32>;

  Sha256Digest();
  ~Sha256Digest();
  Sha256Digest(const Sha256Digest&) = delete;
  Sha256Digest& operator=(const Sha256Digest&) = delete;

  // Adds `count` bytes. False when the library failed; the digest is then lost.
  bool Update(const void* bytes, std::size_t count);
  // The digest of everything added; no result when the library failed. Call once.
  std::optional<Bytes> Finish();

 private:
  struct State;
  std::unique_ptr<State> m_state;  // null when the library could not start one
};
