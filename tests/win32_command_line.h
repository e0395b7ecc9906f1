// Command lines for the test programs' own Win32 process starts.
#pragma once

#include <cstddef>
#include <string>

namespace test_support {

// One argument quoted so that the C runtime and CommandLineToArgvW (and Wine,
// for a Linux program) split it back unchanged.
inline std::wstring QuotedArgument(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

}  // namespace test_support
