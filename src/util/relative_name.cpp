#include "util/relative_name.h"

namespace {

bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

}  // namespace

bool IsNameSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

bool IsContainedName(const std::wstring& name) {
  if (!name.empty() && IsNameSeparator(name[0])) return false;
  if (name.size() >= 2 && name[1] == L':' && IsAsciiLetter(name[0])) return false;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && !IsNameSeparator(name[end])) ++end;
    if (name.compare(start, end - start, L"..") == 0) return false;
    start = end + 1;
  }
  return true;
}
