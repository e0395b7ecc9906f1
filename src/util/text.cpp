// Code-page conversions and request-path decoding.
#include "util/text.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "platform/codepage.h"
#include "platform/fs.h"
#include "platform/utf8.h"

namespace {

// C0 and C1 controls and the two separators that script and some viewers
// take for a line break.
bool IsLineBreaking(wchar_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

// A caller error: reported on stderr; debug builds stop here like assert(),
// release builds go on with an empty result.
void ReportFailedAssertion(const char* what, const char* function) {
  std::fprintf(stderr, "assertion failed: %s (in %s)\n", what, function);
#ifndef NDEBUG
  std::abort();
#endif
}

// Value of one hexadecimal digit byte; 255 for any other byte.
unsigned HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 255;
}

// Byte at `i`, or zero past the end of the input.
unsigned char ByteAt(const char* bytes, std::size_t count, std::size_t i) {
  return i < count ? static_cast<unsigned char>(bytes[i]) : 0;
}

std::string UpToFirstZero(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')); }

}  // namespace

std::string WideToAnsi(const wchar_t* pwszText) {
  if (pwszText == nullptr) {
    ReportFailedAssertion("pwszText", __func__);
    return std::string();
  }
  return UpToFirstZero(platform::WideToCodePage(pwszText));
}

std::string WideToAnsi(const std::wstring& text) { return WideToAnsi(text.c_str()); }

std::wstring AnsiToWide(const char* pszText) {
  if (pszText == nullptr) {
    ReportFailedAssertion("pszText", __func__);
    return std::wstring();
  }
  const std::wstring wide = platform::CodePageToWide(pszText);
  return wide.substr(0, wide.find(L'\0'));
}

std::wstring AnsiToWide(const std::string& text) { return AnsiToWide(text.c_str()); }

std::string UrlDecode(const std::string& raw) {
  std::string out;
  out.reserve(raw.size());
  const std::size_t count = raw.size();
  std::size_t i = 0;
  while (i < count) {
    const char c = raw[i];
    if (c == '%') {
      const unsigned high = HexValue(ByteAt(raw.data(), count, i + 1));
      const unsigned low = HexValue(ByteAt(raw.data(), count, i + 2));
      out += static_cast<char>(((high << 4) | low) & 0xFF);
      i += 3;
    } else {
      out += c == '+' ? ' ' : c;
      i += 1;
    }
  }
  return out;
}

std::string Utf8ToAnsi(const char* bytes, std::size_t count) {
  std::string out;
  // Persists across groups: a conversion that writes one byte leaves the
  // second byte of an earlier group in place, and both bytes are appended.
  char buffer[2] = {0, 0};
  std::size_t j = 0;
  while (j < count) {
    const unsigned char b0 = ByteAt(bytes, count, j);
    if (b0 < 128) {
      out += static_cast<char>(b0);
      j += 1;
      continue;
    }
    const unsigned b1 = ByteAt(bytes, count, j + 1);
    const unsigned b2 = ByteAt(bytes, count, j + 2);
    const wchar_t unit =
        static_cast<wchar_t>(((b0 & 0x0F) << 12) | ((b1 & 0x3F) << 6) | (b2 & 0x3F));
    const std::string converted = platform::WideToCodePage(std::wstring(1, unit));
    for (std::size_t k = 0; k < converted.size() && k < 2; ++k) buffer[k] = converted[k];
    out.append(buffer, 2);
    j += 3;
  }
  return UpToFirstZero(out);
}

std::string UrlDecodeUtf8(const std::string& raw) {
  const std::string decoded = UpToFirstZero(UrlDecode(raw));
  return Utf8ToAnsi(decoded.data(), decoded.size());
}

std::string WideToFsName(const std::wstring& text) { return platform::ToFsName(text); }

std::wstring FsNameToWide(const std::string& name) { return platform::FromFsName(name); }

std::string OneLineText(const std::wstring& text) {
  std::wstring printable;
  printable.reserve(text.size());
  for (wchar_t c : text) {
    if (!IsLineBreaking(c)) {
      printable += c;
      continue;
    }
    wchar_t escape[8];
    std::swprintf(escape, 8, L"\\u%04X", static_cast<unsigned>(c));
    printable += escape;
  }
  return platform::Utf8Encode(printable);
}
