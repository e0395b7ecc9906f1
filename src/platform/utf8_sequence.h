// The UTF-8 byte sequences themselves, shared by the conversions of every
// system: writing one code point and reading one back. Inside the platform
// layer only.
#pragma once

#include <cstddef>
#include <string>

namespace platform::utf8 {

inline constexpr char32_t kReplacementChar = 0xFFFD;

inline bool IsScalarValue(char32_t cp) { return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF); }

// Appends the sequence of `cp`; a value that is not a scalar value (a
// surrogate, or beyond U+10FFFF) is written as U+FFFD.
inline void AppendSequence(char32_t cp, std::string& out) {
  if (!IsScalarValue(cp)) cp = kReplacementChar;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Number of continuation bytes after a lead byte; -1 for a byte that cannot lead.
inline int ContinuationCount(unsigned char lead) {
  if (lead < 0x80) return 0;
  if (lead >= 0xC2 && lead < 0xE0) return 1;
  if (lead >= 0xE0 && lead < 0xF0) return 2;
  if (lead >= 0xF0 && lead <= 0xF4) return 3;
  return -1;
}

// Decodes the sequence at `pos` and advances past it; an invalid sequence
// yields U+FFFD, consumes one byte and clears `valid`.
inline char32_t NextCodePoint(const std::string& s, std::size_t& pos, bool& valid) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(pos);
  const int extra = ContinuationCount(lead);
  if (extra == 0) return byte(pos++);
  static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
  char32_t cp = 0;
  bool ok = extra > 0 && pos + extra < s.size();
  if (ok) {
    cp = lead & (0x3F >> extra);
    for (int i = 1; ok && i <= extra; ++i) {
      ok = (byte(pos + i) & 0xC0) == 0x80;
      cp = (cp << 6) | (byte(pos + i) & 0x3F);
    }
    ok = ok && cp >= kMinimum[extra] && IsScalarValue(cp);
  }
  if (!ok) {
    valid = false;
    ++pos;
    return kReplacementChar;
  }
  pos += extra + 1;
  return cp;
}

}  // namespace platform::utf8
