// Extension to Content-Type table.
#include "server/mime_types.h"

#include <cstddef>

namespace {

struct MimeEntry {
  const char* extension;
  const char* type;
};

constexpr MimeEntry kMimeTable[] = {
    {"html", "text/html"},
    {"htm", "text/html"},
    {"css", "text/css"},
    {"js", "application/javascript"},
    {"mjs", "application/javascript"},
    {"json", "application/json"},
    {"xml", "text/xml"},
    {"txt", "text/plain"},
    {"svg", "image/svg+xml"},
    {"png", "image/png"},
    {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"gif", "image/gif"},
    {"webp", "image/webp"},
    {"ico", "image/x-icon"},
    {"bmp", "image/bmp"},
    {"mp3", "audio/mpeg"},
    {"wav", "audio/wav"},
    {"ogg", "audio/ogg"},
    {"mp4", "video/mp4"},
    {"webm", "video/webm"},
    {"woff", "font/woff"},
    {"woff2", "font/woff2"},
    {"ttf", "font/ttf"},
    {"otf", "font/otf"},
    {"pdf", "application/pdf"},
    {"swf", "application/x-shockwave-flash"},
};

constexpr char kDefaultType[] = "application/octet-stream";

char AsciiLower(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch + 32) : ch; }

bool EqualsIgnoringCase(std::string_view text, const char* lower) {
  std::size_t i = 0;
  for (; i < text.size(); ++i) {
    if (lower[i] == '\0' || AsciiLower(text[i]) != lower[i]) return false;
  }
  return lower[i] == '\0';
}

}  // namespace

const char* ContentTypeForPath(std::string_view path) {
  std::size_t segment_start = path.find_last_of("/\\");
  segment_start = segment_start == std::string_view::npos ? 0 : segment_start + 1;
  std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot < segment_start) return kDefaultType;
  std::string_view extension = path.substr(dot + 1);
  for (const MimeEntry& entry : kMimeTable) {
    if (EqualsIgnoringCase(extension, entry.extension)) return entry.type;
  }
  return kDefaultType;
}
