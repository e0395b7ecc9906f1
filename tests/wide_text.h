// Wide text of one code point as this platform's wchar_t holds it: a single
// unit where it has 32 bits, a surrogate pair where it has 16 (Windows). A
// literal such as L"\U0001F600" means one or the other, so tests build
// characters beyond U+FFFF with this instead.
#pragma once

#include <string>

inline std::wstring WideCodePoint(char32_t cp) {
  if (sizeof(wchar_t) >= 4 || cp < 0x10000) return std::wstring(1, static_cast<wchar_t>(cp));
  cp -= 0x10000;
  return {static_cast<wchar_t>(0xD800 + (cp >> 10)), static_cast<wchar_t>(0xDC00 + (cp & 0x3FF))};
}
