// SHA-256 with OpenSSL's digest, which uses the processor's SHA instructions.
#include <openssl/evp.h>

#include "update/sha256_digest.h"

struct Sha256Digest::State {
  struct ContextDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
  };
  std::unique_ptr<EVP_MD_CTX, ContextDeleter> context{EVP_MD_CTX_new()};
};

Sha256Digest::Sha256Digest() : m_state(new State) {
  if (!m_state->context || EVP_DigestInit_ex(m_state->context.get(), EVP_sha256(), nullptr) != 1)
    m_state.reset();
}

Sha256Digest::~Sha256Digest() = default;

bool Sha256Digest::Update(const void* bytes, std::size_t count) {
  if (m_state && EVP_DigestUpdate(m_state->context.get(), bytes, count) == 1) return true;
  m_state.reset();
  return false;
}

std::optional<Sha256Digest::Bytes> Sha256Digest::Finish() {
  Bytes digest;
  unsigned length = 0;
  if (!m_state || EVP_DigestFinal_ex(m_state->context.get(), digest.data(), &length) != 1 ||
      length != digest.size())
    return std::nullopt;
  m_state.reset();
  return digest;
}
