// Text from the update server (manifest values) as it may stand in a
// failure's reason: it must neither break the diagnostic log's one line per
// entry nor fill the log. Safe on any thread.
#pragma once

#include <cstddef>
#include <string>

// Characters of such a text that a reason keeps.
inline constexpr std::size_t kMaxReasonTextChars = 80;

// `text` in UTF-8, every control character (line ends included) turned into
// '?', and cut after kMaxReasonTextChars characters with "..." added.
std::string ReasonText(const std::wstring& text);
