// SHA-256 with libsodium's portable implementation.
#include <sodium.h>

#include "update/sha256_digest.h"

struct Sha256Digest::State {
  crypto_hash_sha256_state sodium;
};

Sha256Digest::Sha256Digest() : m_state(new State) {
  if (sodium_init() < 0 || crypto_hash_sha256_init(&m_state->sodium) != 0) m_state.reset();
}

Sha256Digest::~Sha256Digest() = default;

bool Sha256Digest::Update(const void* bytes, std::size_t count) {
  if (m_state && crypto_hash_sha256_update(&m_state->sodium,
                                           static_cast<const unsigned char*>(bytes), count) == 0)
    return true;
  m_state.reset();
  return false;
}

std::optional<Sha256Digest::Bytes> Sha256Digest::Finish() {
  Bytes digest;
  if (!m_state || crypto_hash_sha256_final(&m_state->sodium, digest.data()) != 0)
    return std::nullopt;
  m_state.reset();
  return digest;
}
