// UTF-8 conversions used for file-system names and settings files.
#include "platform/utf8.h"
#include "platform/utf8_sequence.h"

namespace platform {

using utf8::AppendSequence;
using utf8::NextCodePoint;

std::string Utf8Encode(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) AppendSequence(static_cast<char32_t>(c), out);
  return out;
}

std::wstring Utf8Decode(const std::string& bytes, bool* valid) {
  std::wstring out;
  out.reserve(bytes.size());
  bool all_valid = true;
  for (std::size_t pos = 0; pos < bytes.size();) {
    out += static_cast<wchar_t>(NextCodePoint(bytes, pos, all_valid));
  }
  if (valid != nullptr) *valid = all_valid;
  return out;
}

}  // namespace platform
