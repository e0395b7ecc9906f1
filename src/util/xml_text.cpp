#include "util/xml_text.h"

#include <fstream>
#include <iterator>

namespace {

// Longer than the longest step the parser takes from a non-zero byte (a
// four-byte sequence) and than the longest entity name it compares.
constexpr std::size_t kZeroTail = 8;

std::string WithLineFeeds(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      result += text[i];
      continue;
    }
    result += '\n';
    if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
  }
  return result;
}

}  // namespace

bool ParseXmlText(TiXmlDocument* document, std::string text) {
  text.append(kZeroTail, '\0');
  document->Parse(text.c_str());
  return !document->Error();
}

bool LoadXmlFile(TiXmlDocument* document, const std::string& fs_name) {
  std::ifstream in(fs_name, std::ios::binary);
  if (!in) return false;
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad() || text.empty()) return false;
  return ParseXmlText(document, WithLineFeeds(text));
}
