// Conversions between wide text and the legacy code page (CP936/GBK by
// default) that the content is made in. Characters the code page cannot hold
// become "?". Safe on any thread.
#pragma once

#include <string>

namespace platform {

// Name of the legacy code page as iconv knows it: CP936, or the code page named
// by the QUILLORY_CODEPAGE environment variable when iconv knows that name (on
// Windows: a name "CPnnn" or "WINDOWS-nnn" of a code page the system has, or
// a common name such as GBK, BIG5 or UTF-8).
const char* LegacyCodePage();

// Converts wide text to code-page bytes; unrepresentable characters become '?'.
std::string WideToCodePage(const std::wstring& text);
// Converts code-page bytes to wide text; invalid bytes become U+FFFD.
std::wstring CodePageToWide(const std::string& bytes);

}  // namespace platform
