// Version comparison and lenient number reading.
#include "update/versions.h"

#include <cstddef>
#include <limits>

namespace {

constexpr int kVersionFields = 4;

bool IsCSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

// Shared by the wide and narrow readers: the characters are plain ASCII.
template <typename Text>
std::int64_t ReadLeading(const Text& text, std::int64_t low, std::int64_t high) {
  std::size_t i = 0;
  while (i < text.size() && IsCSpace(static_cast<wchar_t>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulate as a negative number so that the lowest value fits too.
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    if (value < (low + digit) / 10) return negative ? low : high;
    value = value * 10 - digit;
  }
  if (negative) return value;
  return value < -high ? high : -value;
}

// The index-th piece of `text` between "." separators; empty when missing.
std::wstring VersionField(const std::wstring& text, int index) {
  std::size_t start = 0;
  for (int i = 0; i < index; ++i) {
    const std::size_t dot = text.find(L'.', start);
    if (dot == std::wstring::npos) return std::wstring();
    start = dot + 1;
  }
  const std::size_t end = text.find(L'.', start);
  return text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

}  // namespace

int ReadLeadingInt(const std::wstring& text) {
  return static_cast<int>(
      ReadLeading(text, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

std::int64_t ReadLeadingInt64(const std::string& text) {
  return ReadLeading(text, std::numeric_limits<std::int64_t>::min(),
                     std::numeric_limits<std::int64_t>::max());
}

int CompareVersions(const std::wstring& a, const std::wstring& b) {
  for (int i = 0; i < kVersionFields; ++i) {
    const int field_a = ReadLeadingInt(VersionField(a, i));
    const int field_b = ReadLeadingInt(VersionField(b, i));
    if (field_a < field_b) return -1;
    if (field_a > field_b) return 1;
  }
  return 0;
}
