// UTF-8, the file-system encoding here, to and from wide text. Kept apart from
// the legacy code page. Safe on any thread.
#pragma once

#include <string>

namespace platform {

// Encodes wide text as UTF-8; code points that UTF-8 cannot hold become U+FFFD.
std::string Utf8Encode(const std::wstring& text);
// Decodes UTF-8; every invalid byte becomes U+FFFD. `valid` (optional) tells
// whether the whole input was valid UTF-8.
std::wstring Utf8Decode(const std::string& bytes, bool* valid = nullptr);

}  // namespace platform
