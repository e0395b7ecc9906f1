#include "util/xml_text.h"

#include <fstream>
#include <sstream>

namespace {

// Longer than the longest step the parser takes from a non-zero byte (a
// four-byte sequence) and than the longest entity name it compares.
constexpr std::size_t kZeroTail = 8;

// CR LF and a lone CR become LF, in place.
void FoldLineEnds(std::string* text) {
  std::size_t out = 0;
  for (std::size_t in = 0; in < text->size(); ++in) {
    char c = (*text)[in];
    if (c == '\r') {
      c = '\n';
      if (in + 1 < text->size() && (*text)[in + 1] == '\n') ++in;
    }
    (*text)[out++] = c;
  }
  text->resize(out);
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
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) return false;
  return ParseXmlFileBytes(document, bytes.str());
}

bool ParseXmlFileBytes(TiXmlDocument* document, std::string bytes) {
  if (bytes.empty()) return false;
  FoldLineEnds(&bytes);
  return ParseXmlText(document, std::move(bytes));
}
