// MD5 (RFC 1321). Every computation has a context of its own on the caller's
// stack. The compression works on 64-byte blocks straight from the caller's
// buffer; its step functions are arranged so that the part of each step that
// does not depend on the previous step's result is computed first, which
// shortens the dependency chain that bounds the speed of MD5.
#include "util/md5.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

#define MD5_INLINE inline __attribute__((always_inline))

struct Md5Context {
  std::uint64_t bit_count = 0;
  std::uint32_t state[4] = {0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u};
  std::uint8_t block[64] = {};
  std::size_t block_used = 0;
};

MD5_INLINE std::uint32_t Rotl(std::uint32_t v, int s) { return (v << s) | (v >> (32 - s)); }

MD5_INLINE std::uint32_t Word(const std::uint8_t* p, int i) {
  std::uint32_t v;
  std::memcpy(&v, p + 4 * i, 4);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap32(v);
#endif
  return v;
}

// One step of each round. The message word and constant are added before the
// round function, which needs the newest value `b` last.
MD5_INLINE void StepF(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                      std::uint32_t x, std::uint32_t k, int s) {
  a += x + k;
  a += d ^ (b & (c ^ d));
  a = Rotl(a, s) + b;
}
// G = (b & d) | (c & ~d); the two halves share no bits, so they can be added
// separately and the half without `b` early.
MD5_INLINE void StepG(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                      std::uint32_t x, std::uint32_t k, int s) {
  a += x + k;
  a += c & ~d;
  a += b & d;
  a = Rotl(a, s) + b;
}
MD5_INLINE void StepH(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                      std::uint32_t x, std::uint32_t k, int s) {
  a += x + k;
  a += (c ^ d) ^ b;
  a = Rotl(a, s) + b;
}
MD5_INLINE void StepI(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                      std::uint32_t x, std::uint32_t k, int s) {
  a += x + k;
  a += c ^ (b | ~d);
  a = Rotl(a, s) + b;
}

// The 64 steps read best as a table.
// clang-format off
MD5_INLINE void Round1(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d,
                       const std::uint8_t* p) {
  StepF(a, b, c, d, Word(p, 0), 0xd76aa478, 7);   StepF(d, a, b, c, Word(p, 1), 0xe8c7b756, 12);
  StepF(c, d, a, b, Word(p, 2), 0x242070db, 17);  StepF(b, c, d, a, Word(p, 3), 0xc1bdceee, 22);
  StepF(a, b, c, d, Word(p, 4), 0xf57c0faf, 7);   StepF(d, a, b, c, Word(p, 5), 0x4787c62a, 12);
  StepF(c, d, a, b, Word(p, 6), 0xa8304613, 17);  StepF(b, c, d, a, Word(p, 7), 0xfd469501, 22);
  StepF(a, b, c, d, Word(p, 8), 0x698098d8, 7);   StepF(d, a, b, c, Word(p, 9), 0x8b44f7af, 12);
  StepF(c, d, a, b, Word(p, 10), 0xffff5bb1, 17); StepF(b, c, d, a, Word(p, 11), 0x895cd7be, 22);
  StepF(a, b, c, d, Word(p, 12), 0x6b901122, 7);  StepF(d, a, b, c, Word(p, 13), 0xfd987193, 12);
  StepF(c, d, a, b, Word(p, 14), 0xa679438e, 17); StepF(b, c, d, a, Word(p, 15), 0x49b40821, 22);
}

MD5_INLINE void Round2(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d,
                       const std::uint8_t* p) {
  StepG(a, b, c, d, Word(p, 1), 0xf61e2562, 5);   StepG(d, a, b, c, Word(p, 6), 0xc040b340, 9);
  StepG(c, d, a, b, Word(p, 11), 0x265e5a51, 14); StepG(b, c, d, a, Word(p, 0), 0xe9b6c7aa, 20);
  StepG(a, b, c, d, Word(p, 5), 0xd62f105d, 5);   StepG(d, a, b, c, Word(p, 10), 0x02441453, 9);
  StepG(c, d, a, b, Word(p, 15), 0xd8a1e681, 14); StepG(b, c, d, a, Word(p, 4), 0xe7d3fbc8, 20);
  StepG(a, b, c, d, Word(p, 9), 0x21e1cde6, 5);   StepG(d, a, b, c, Word(p, 14), 0xc33707d6, 9);
  StepG(c, d, a, b, Word(p, 3), 0xf4d50d87, 14);  StepG(b, c, d, a, Word(p, 8), 0x455a14ed, 20);
  StepG(a, b, c, d, Word(p, 13), 0xa9e3e905, 5);  StepG(d, a, b, c, Word(p, 2), 0xfcefa3f8, 9);
  StepG(c, d, a, b, Word(p, 7), 0x676f02d9, 14);  StepG(b, c, d, a, Word(p, 12), 0x8d2a4c8a, 20);
}

MD5_INLINE void Round3(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d,
                       const std::uint8_t* p) {
  StepH(a, b, c, d, Word(p, 5), 0xfffa3942, 4);   StepH(d, a, b, c, Word(p, 8), 0x8771f681, 11);
  StepH(c, d, a, b, Word(p, 11), 0x6d9d6122, 16); StepH(b, c, d, a, Word(p, 14), 0xfde5380c, 23);
  StepH(a, b, c, d, Word(p, 1), 0xa4beea44, 4);   StepH(d, a, b, c, Word(p, 4), 0x4bdecfa9, 11);
  StepH(c, d, a, b, Word(p, 7), 0xf6bb4b60, 16);  StepH(b, c, d, a, Word(p, 10), 0xbebfbc70, 23);
  StepH(a, b, c, d, Word(p, 13), 0x289b7ec6, 4);  StepH(d, a, b, c, Word(p, 0), 0xeaa127fa, 11);
  StepH(c, d, a, b, Word(p, 3), 0xd4ef3085, 16);  StepH(b, c, d, a, Word(p, 6), 0x04881d05, 23);
  StepH(a, b, c, d, Word(p, 9), 0xd9d4d039, 4);   StepH(d, a, b, c, Word(p, 12), 0xe6db99e5, 11);
  StepH(c, d, a, b, Word(p, 15), 0x1fa27cf8, 16); StepH(b, c, d, a, Word(p, 2), 0xc4ac5665, 23);
}

MD5_INLINE void Round4(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d,
                       const std::uint8_t* p) {
  StepI(a, b, c, d, Word(p, 0), 0xf4292244, 6);   StepI(d, a, b, c, Word(p, 7), 0x432aff97, 10);
  StepI(c, d, a, b, Word(p, 14), 0xab9423a7, 15); StepI(b, c, d, a, Word(p, 5), 0xfc93a039, 21);
  StepI(a, b, c, d, Word(p, 12), 0x655b59c3, 6);  StepI(d, a, b, c, Word(p, 3), 0x8f0ccc92, 10);
  StepI(c, d, a, b, Word(p, 10), 0xffeff47d, 15); StepI(b, c, d, a, Word(p, 1), 0x85845dd1, 21);
  StepI(a, b, c, d, Word(p, 8), 0x6fa87e4f, 6);   StepI(d, a, b, c, Word(p, 15), 0xfe2ce6e0, 10);
  StepI(c, d, a, b, Word(p, 6), 0xa3014314, 15);  StepI(b, c, d, a, Word(p, 13), 0x4e0811a1, 21);
  StepI(a, b, c, d, Word(p, 4), 0xf7537e82, 6);   StepI(d, a, b, c, Word(p, 11), 0xbd3af235, 10);
  StepI(c, d, a, b, Word(p, 2), 0x2ad7d2bb, 15);  StepI(b, c, d, a, Word(p, 9), 0xeb86d391, 21);
}

// clang-format on

// Compresses `count` whole 64-byte blocks starting at `p` into `state`.
void CompressBlocks(std::uint32_t state[4], const std::uint8_t* p, std::size_t count) {
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (; count > 0; --count, p += 64) {
    const std::uint32_t a0 = a, b0 = b, c0 = c, d0 = d;
    Round1(a, b, c, d, p);
    Round2(a, b, c, d, p);
    Round3(a, b, c, d, p);
    Round4(a, b, c, d, p);
    a += a0;
    b += b0;
    c += c0;
    d += d0;
  }
  state[0] = a;
  state[1] = b;
  state[2] = c;
  state[3] = d;
}

void Md5Update(Md5Context& ctx, const std::uint8_t* data, std::size_t size) {
  if (size == 0) return;
  ctx.bit_count += static_cast<std::uint64_t>(size) * 8;
  if (ctx.block_used > 0) {
    const std::size_t take = std::min(size, sizeof(ctx.block) - ctx.block_used);
    std::memcpy(ctx.block + ctx.block_used, data, take);
    ctx.block_used += take;
    data += take;
    size -= take;
    if (ctx.block_used < sizeof(ctx.block)) return;
    CompressBlocks(ctx.state, ctx.block, 1);
    ctx.block_used = 0;
  }
  CompressBlocks(ctx.state, data, size / 64);
  ctx.block_used = size % 64;
  std::memcpy(ctx.block, data + size - ctx.block_used, ctx.block_used);
}

// Pads, feeds the bit count, writes the digest and wipes the working state.
void Md5Final(Md5Context& ctx, std::uint8_t digest[16]) {
  std::uint8_t length[8];
  for (int i = 0; i < 8; ++i) length[i] = static_cast<std::uint8_t>(ctx.bit_count >> (8 * i));
  static const std::uint8_t kPadding[64] = {0x80};
  const std::size_t pad = ctx.block_used < 56 ? 56 - ctx.block_used : 120 - ctx.block_used;
  Md5Update(ctx, kPadding, pad);
  Md5Update(ctx, length, 8);
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j)
      digest[4 * i + j] = static_cast<std::uint8_t>(ctx.state[i] >> (8 * j));
  }
  ctx = Md5Context{};
  std::memset(ctx.state, 0, sizeof(ctx.state));
}

std::string DigestOf(const std::uint8_t* data, std::size_t size) {
  Md5Context ctx;
  Md5Update(ctx, data, size);
  std::uint8_t digest[16];
  Md5Final(ctx, digest);
  return MD5ToHex(digest);
}

}  // namespace

std::string MD5String(const char* text) {
  if (text == nullptr) text = "";
  return DigestOf(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text));
}

std::string MD5String(const std::string& text) { return MD5String(text.c_str()); }

std::optional<std::string> MD5File(const std::string& fs_name) {
  std::FILE* file = std::fopen(fs_name.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  Md5Context ctx;
  std::uint8_t buffer[1024];
  std::size_t got = 0;
  // A read error ends the reading like the end of the file.
  while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0) Md5Update(ctx, buffer, got);
  std::fclose(file);
  std::uint8_t digest[16];
  Md5Final(ctx, digest);
  return MD5ToHex(digest);
}

std::string MD5ToHex(const std::uint8_t digest[16]) {
  static const char kHex[] = "0123456789abcdef";
  std::string hex(32, '0');
  for (int i = 0; i < 16; ++i) {
    hex[2 * i] = kHex[digest[i] >> 4];
    hex[2 * i + 1] = kHex[digest[i] & 0x0F];
  }
  return hex;
}
