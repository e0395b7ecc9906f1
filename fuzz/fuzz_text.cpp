// Request-path decoding and the code-page conversions, over arbitrary bytes.
//
// Invariants:
// - UrlDecode agrees with a direct model of percent-decoding (digits outside
//   0-9a-fA-F, and bytes missing at the end, count 255) and never reads
//   outside its input;
// - Utf8ToAnsi and UrlDecodeUtf8 never yield a zero byte, keep ASCII as it
//   is, and turn well-formed three-byte UTF-8 of code-page characters into
//   the same bytes as WideToAnsi;
// - WideToAnsi and AnsiToWide never yield a zero unit; text the code page
//   can hold survives a round trip in either direction, and a second round
//   trip changes nothing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_folder.h"
#include "util/text.h"

namespace {

unsigned ModelHex(int c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
  return 255;
}

std::string ModelUrlDecode(const std::string& raw) {
  std::string out;
  for (std::size_t i = 0; i < raw.size();) {
    if (raw[i] == '%') {
      int high = i + 1 < raw.size() ? static_cast<unsigned char>(raw[i + 1]) : 0;
      int low = i + 2 < raw.size() ? static_cast<unsigned char>(raw[i + 2]) : 0;
      out += static_cast<char>(((ModelHex(high) << 4) | ModelHex(low)) & 0xFF);
      i += 3;
    } else {
      out += raw[i] == '+' ? ' ' : raw[i];
      i += 1;
    }
  }
  return out;
}

std::string CutAtZero(const std::string& s) { return s.substr(0, s.find('\0')); }

bool IsAscii(const std::string& s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}

// The wide text of `bytes` when they are well-formed UTF-8 made only of ASCII
// and three-byte sequences of characters that the code page holds in two
// bytes; nothing otherwise.
bool DecodeCodePageUtf8(const std::string& bytes, std::wstring* wide) {
  for (std::size_t i = 0; i < bytes.size();) {
    unsigned char b0 = static_cast<unsigned char>(bytes[i]);
    if (b0 < 0x80) {
      *wide += static_cast<wchar_t>(b0);
      i += 1;
      continue;
    }
    if (i + 2 >= bytes.size()) return false;
    unsigned char b1 = static_cast<unsigned char>(bytes[i + 1]);
    unsigned char b2 = static_cast<unsigned char>(bytes[i + 2]);
    if ((b0 & 0xF0) != 0xE0 || (b1 & 0xC0) != 0x80 || (b2 & 0xC0) != 0x80) return false;
    wchar_t unit = static_cast<wchar_t>(((b0 & 0x0F) << 12) | ((b1 & 0x3F) << 6) | (b2 & 0x3F));
    if (unit < 0x800 || (unit >= 0xD800 && unit <= 0xDFFF)) return false;
    std::string one = WideToAnsi(std::wstring(1, unit));
    if (one.size() != 2) return false;
    *wide += unit;
    i += 3;
  }
  return true;
}

void CheckUrlDecoding(const std::string& raw) {
  const std::string decoded = UrlDecode(raw);
  if (decoded != ModelUrlDecode(raw)) fuzz::Fail("UrlDecode differs from the model", raw);
  const std::string utf8 = UrlDecodeUtf8(raw);
  if (utf8.find('\0') != std::string::npos) fuzz::Fail("UrlDecodeUtf8 yields a zero byte", raw);
  const std::string cut = CutAtZero(decoded);
  if (IsAscii(cut) && utf8 != cut) fuzz::Fail("UrlDecodeUtf8 changes ASCII", raw);
}

void CheckUtf8ToAnsi(const std::string& bytes) {
  const std::string ansi = Utf8ToAnsi(bytes.data(), bytes.size());
  if (ansi.find('\0') != std::string::npos) fuzz::Fail("Utf8ToAnsi yields a zero byte", bytes);
  const std::string cut = CutAtZero(bytes);
  if (IsAscii(bytes) && ansi != cut) fuzz::Fail("Utf8ToAnsi changes ASCII", bytes);
  std::wstring wide;
  if (bytes.find('\0') == std::string::npos && DecodeCodePageUtf8(bytes, &wide) &&
      ansi != WideToAnsi(wide)) {
    fuzz::Fail("Utf8ToAnsi differs from WideToAnsi on well-formed UTF-8", bytes);
  }
}

// Code-page bytes to wide text and back.
void CheckAnsiRoundTrip(const std::string& bytes) {
  const std::wstring wide = AnsiToWide(bytes);
  if (wide.find(L'\0') != std::wstring::npos) fuzz::Fail("AnsiToWide yields a zero unit", bytes);
  const std::string back = WideToAnsi(wide);
  if (back.find('\0') != std::string::npos) fuzz::Fail("WideToAnsi yields a zero byte", bytes);
  if (wide.find(L'\xFFFD') == std::wstring::npos && back != CutAtZero(bytes)) {
    fuzz::Fail("valid code-page text does not survive a round trip", bytes);
  }
  if (AnsiToWide(back) != wide && wide.find(L'\xFFFD') == std::wstring::npos) {
    fuzz::Fail("second round trip changes the text", bytes);
  }
}

// Pairs of bytes as UTF-16 code units, to code-page bytes and back.
void CheckWideRoundTrip(const std::string& bytes) {
  std::wstring wide;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    wchar_t unit = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                        static_cast<unsigned char>(bytes[i + 1]) << 8);
    if (unit == 0) break;
    wide += unit;
  }
  const std::string ansi = WideToAnsi(wide);
  if (ansi.find('\0') != std::string::npos) fuzz::Fail("WideToAnsi yields a zero byte", bytes);
  const std::wstring back = AnsiToWide(ansi);
  if (WideToAnsi(back) != ansi) fuzz::Fail("code-page bytes of wide text are not stable", bytes);
  if (back == wide) return;
  for (wchar_t unit : wide) {
    if (unit != L'?' && WideToAnsi(std::wstring(1, unit)) == "?") return;
  }
  fuzz::Fail("representable wide text does not survive a round trip", bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  CheckUrlDecoding(bytes);
  CheckUtf8ToAnsi(bytes);
  CheckAnsiRoundTrip(bytes);
  CheckWideRoundTrip(bytes);
  return 0;
}
