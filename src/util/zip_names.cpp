// Decoding and checking of zip entry names.
#include "util/zip_names.h"

#include <cstring>

#include "util/relative_name.h"
#include "util/text.h"

namespace {

// Number of continuation bytes after `lead`, or -1 for a byte that cannot
// start a sequence.
int ContinuationCount(unsigned char lead) {
  if (lead < 0x80) return 0;
  if (lead >= 0xC2 && lead <= 0xDF) return 1;
  if (lead >= 0xE0 && lead <= 0xEF) return 2;
  if (lead >= 0xF0 && lead <= 0xF4) return 3;
  return -1;
}

// Smallest code point each sequence length may carry (rejects overlong forms).
constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};

void AppendCodePoint(std::wstring& out, char32_t c) {
  if (sizeof(wchar_t) >= 4 || c < 0x10000) {
    out += static_cast<wchar_t>(c);
    return;
  }
  c -= 0x10000;
  out += static_cast<wchar_t>(0xD800 + (c >> 10));
  out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
}

}  // namespace

std::optional<std::wstring> DecodeUtf8(const char* bytes, std::size_t size) {
  std::wstring out;
  std::size_t i = 0;
  while (i < size) {
    unsigned char lead = static_cast<unsigned char>(bytes[i]);
    int extra = ContinuationCount(lead);
    if (extra < 0 || i + static_cast<std::size_t>(extra) >= size) return std::nullopt;
    char32_t c = extra == 0 ? lead : (lead & (0x3F >> extra));
    for (int k = 1; k <= extra; ++k) {
      unsigned char next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      c = (c << 6) | (next & 0x3F);
    }
    if (c < kMinimum[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    AppendCodePoint(out, c);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

std::optional<std::wstring> DecodeEntryName(const char* bytes, std::size_t size, bool utf8_flag) {
  if (std::memchr(bytes, 0, size) != nullptr) return std::nullopt;
  if (utf8_flag) return DecodeUtf8(bytes, size);
  return AnsiToWide(std::string(bytes, size));
}

std::vector<std::wstring> SplitEntryName(const std::wstring& name) {
  std::vector<std::wstring> levels(1);
  for (wchar_t c : name) {
    if (IsNameSeparator(c)) {
      levels.emplace_back();
    } else {
      levels.back() += c;
    }
  }
  return levels;
}
