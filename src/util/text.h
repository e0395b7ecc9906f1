// Text conversions between wide strings and the legacy code page, and the
// decoding of request paths (percent-encoding, UTF-8 inside it). Safe on any
// thread.
#pragma once

#include <cstddef>
#include <string>

// Wide text to code-page bytes, up to the first zero byte. A null argument is
// a caller error: it fails an assertion and yields "".
std::string WideToAnsi(const wchar_t* pwszText);
std::string WideToAnsi(const std::wstring& text);
// Code-page bytes to wide text. A null argument fails an assertion and yields "".
std::wstring AnsiToWide(const char* pszText);
std::wstring AnsiToWide(const std::string& text);

// Percent-decoding of a raw request path; "+" becomes a space. Missing digit
// bytes at the end of the input read as zero. The result may hold zero bytes.
std::string UrlDecode(const std::string& raw);
// Three-byte UTF-8 groups to code-page bytes, two per group; the result ends
// at its first zero byte. Missing bytes at the end of the input read as zero.
std::string Utf8ToAnsi(const char* bytes, std::size_t count);
// UrlDecode, cut at the first zero byte, then Utf8ToAnsi.
std::string UrlDecodeUtf8(const std::string& raw);

// File-system names (UTF-8 here), kept apart from the code page.
std::string WideToFsName(const std::wstring& text);
std::wstring FsNameToWide(const std::string& name);

// `text` as UTF-8 for a message of one line (a failure's reason): control
// characters, which a file or page may carry in a name, become "\u" and four
// hexadecimal digits, so that they cannot end the line or forge another.
std::string OneLineText(const std::wstring& text);
