// Untrusted text made safe for a reason.
#include "update/reason_text.h"

#include "platform/utf8.h"

namespace {

bool IsControl(wchar_t c) { return c < 0x20 || (c >= 0x7f && c < 0xa0); }

}  // namespace

std::string ReasonText(const std::wstring& text) {
  std::wstring kept = text.substr(0, kMaxReasonTextChars);
  for (wchar_t& c : kept) {
    if (IsControl(c)) c = L'?';
  }
  std::string reason = platform::Utf8Encode(kept);
  if (text.size() > kMaxReasonTextChars) reason += "...";
  return reason;
}
