// UTF-8 conversions used for file-system names and settings files.
#include "platform/utf8.h"

namespace platform {
namespace {

constexpr char32_t kReplacementChar = 0xFFFD;

bool IsScalarValue(char32_t cp) { return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF); }

void AppendUtf8(char32_t cp, std::string& out) {
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
int ContinuationCount(unsigned char lead) {
  if (lead < 0x80) return 0;
  if (lead >= 0xC2 && lead < 0xE0) return 1;
  if (lead >= 0xE0 && lead < 0xF0) return 2;
  if (lead >= 0xF0 && lead <= 0xF4) return 3;
  return -1;
}

// Decodes the sequence at `pos` and advances past it; an invalid sequence
// yields U+FFFD and consumes one byte.
char32_t NextCodePoint(const std::string& s, std::size_t& pos, bool& valid) {
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

}  // namespace

std::string Utf8Encode(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) AppendUtf8(static_cast<char32_t>(c), out);
  return out;
}

std::wstring Utf8Decode(const std::string& bytes, bool* valid) {
  std::wstring out;
  out.reserve(bytes.size());
  bool all_valid = true;
  for (std::size_t pos = 0; pos < bytes.size();) {
    out += static_cast<wchar_t>(NextCodePoint(bytes, pos, all_valid));
  }
  if (valid != nullptr) *valid = all_valid;
  return out;
}

}  // namespace platform
