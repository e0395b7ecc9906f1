// UTF-8 conversions for Windows, where wide text is UTF-16: characters beyond
// the Basic Multilingual Plane are surrogate pairs. Valid text goes through
// the system's converter; text with invalid parts is converted here, so that
// every invalid byte and every unpaired surrogate gives one U+FFFD on every
// version of Windows (the system's converter groups some invalid bytes).
#include <windows.h>

#include "platform/utf8.h"
#include "platform/utf8_sequence.h"

namespace platform {
namespace {

using utf8::AppendSequence;
using utf8::kReplacementChar;

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendUtf16(char32_t cp, std::wstring& out) {
  if (cp < 0x10000) {
    out += static_cast<wchar_t>(cp);
    return;
  }
  cp -= 0x10000;
  out += static_cast<wchar_t>(0xD800 | (cp >> 10));
  out += static_cast<wchar_t>(0xDC00 | (cp & 0x3FF));
}

// The system's strict conversions: false when the input holds anything
// invalid (or is too long for one call).
bool SystemEncode(const std::wstring& text, std::string& out) {
  if (text.size() > 0x7FFFFFFF / 4) return false;
  const int length = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), length, nullptr,
                                       0, nullptr, nullptr);
  if (size <= 0) return false;
  out.resize(static_cast<std::size_t>(size));
  return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), length, out.data(), size,
                             nullptr, nullptr) == size;
}

bool SystemDecode(const std::string& bytes, std::wstring& out) {
  if (bytes.size() > 0x7FFFFFFF) return false;
  const int length = static_cast<int>(bytes.size());
  const int size =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
  if (size <= 0) return false;
  out.resize(static_cast<std::size_t>(size));
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), length, out.data(),
                             size) == size;
}

}  // namespace

std::string Utf8Encode(const std::wstring& text) {
  std::string out;
  if (text.empty() || SystemEncode(text, out)) return out;
  out.clear();
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      AppendSequence(0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(text[++i]) - 0xDC00),
                     out);
    } else {
      AppendSequence(IsHighSurrogate(c) || IsLowSurrogate(c) ? kReplacementChar : char32_t(c), out);
    }
  }
  return out;
}

std::wstring Utf8Decode(const std::string& bytes, bool* valid) {
  std::wstring out;
  const bool all_valid = bytes.empty() || SystemDecode(bytes, out);
  if (!all_valid) {
    out.clear();
    out.reserve(bytes.size());
    bool ignored = true;
    for (std::size_t pos = 0; pos < bytes.size();) {
      AppendUtf16(utf8::NextCodePoint(bytes, pos, ignored), out);
    }
  }
  if (valid != nullptr) *valid = all_valid;
  return out;
}

}  // namespace platform
