// Request line and header parsing.
#include "server/request_parse.h"

#include <cstring>

namespace {

char AsciiLower(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch + 32) : ch; }

bool EqualsIgnoringCase(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (AsciiLower(text[i]) != lower[i]) return false;
  }
  return true;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view lower) {
  return text.size() >= lower.size() && EqualsIgnoringCase(text.substr(0, lower.size()), lower);
}

std::string_view Trim(std::string_view text) {
  const char* kSpace = " \t\r\n";
  std::size_t first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  std::size_t last = text.find_last_not_of(kSpace);
  return text.substr(first, last - first + 1);
}

// Parses 1 to 18 decimal digits; false for anything else.
bool ParseDecimal(std::string_view digits, std::uint64_t* value) {
  if (digits.empty() || digits.size() > 18) return false;
  std::uint64_t result = 0;
  for (char ch : digits) {
    if (ch < '0' || ch > '9') return false;
    result = result * 10 + static_cast<std::uint64_t>(ch - '0');
  }
  *value = result;
  return true;
}

bool IsPortSuffix(std::string_view rest) {
  if (rest.empty()) return true;
  std::uint64_t port = 0;
  return rest[0] == ':' && rest.size() <= 6 && ParseDecimal(rest.substr(1), &port) && port <= 65535;
}

}  // namespace

bool SplitRequestLine(std::string_view line, RequestLine* out) {
  std::size_t first_space = line.find(' ');
  if (first_space == std::string_view::npos) return false;
  std::size_t second_space = line.find(' ', first_space + 1);
  if (second_space == std::string_view::npos) return false;
  std::string_view method = line.substr(0, first_space);
  if (EqualsIgnoringCase(method, "get")) {
    out->method = RequestMethod::kGet;
  } else if (EqualsIgnoringCase(method, "post")) {
    out->method = RequestMethod::kPost;
  } else {
    out->method = RequestMethod::kOther;
  }
  out->raw_path = line.substr(first_space + 1, second_space - first_space - 1);
  return true;
}

bool IsDefaultAnswerPath(std::string_view raw_path) {
  return raw_path == "/" || EqualsIgnoringCase(raw_path, "/custom");
}

bool IsAllowedHost(std::string_view host_value) {
  std::string_view host = Trim(host_value);
  for (std::string_view name : {"localhost", "127.0.0.1", "[::1]"}) {
    if (StartsWithIgnoringCase(host, name) && IsPortSuffix(host.substr(name.size()))) return true;
  }
  return false;
}

bool IsHeaderBlockEnd(std::string_view line) { return line == "\r\n" || line == "\n"; }

void NoteHeaderLine(std::string_view line, RequestHeaders* headers) {
  std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return;
  std::string_view name = Trim(line.substr(0, colon));
  std::string_view value = Trim(line.substr(colon + 1));
  if (EqualsIgnoringCase(name, "host")) {
    if (!IsAllowedHost(value)) headers->host_refused = true;
  } else if (EqualsIgnoringCase(name, "range")) {
    bool fits = value.size() <= RequestHeaders::kRangeRoom;
    headers->range_length = fits ? value.size() : 0;
    // An empty value may have no data at all; memcpy must not see null.
    if (fits && !value.empty()) std::memcpy(headers->range, value.data(), value.size());
  } else if (EqualsIgnoringCase(name, "content-length")) {
    headers->has_content_length = ParseDecimal(value, &headers->content_length);
  }
}

ByteRange ResolveRange(std::string_view range_value, std::uint64_t length) {
  ByteRange whole;
  std::string_view spec = Trim(range_value);
  if (!StartsWithIgnoringCase(spec, "bytes=")) return whole;
  spec = Trim(spec.substr(6));
  std::size_t dash = spec.find('-');
  if (dash == std::string_view::npos || spec.find(',') != std::string_view::npos) return whole;
  std::string_view first_text = Trim(spec.substr(0, dash));
  std::string_view last_text = Trim(spec.substr(dash + 1));
  std::uint64_t first = 0;
  std::uint64_t last = 0;
  ByteRange result;
  result.kind = ByteRange::kPartial;
  if (first_text.empty()) {  // the last n bytes
    if (!ParseDecimal(last_text, &last)) return whole;
    if (last == 0 || length == 0) return ByteRange{ByteRange::kUnsatisfiable, 0, 0};
    result.first = length - (last < length ? last : length);
    result.last = length - 1;
    return result;
  }
  if (!ParseDecimal(first_text, &first)) return whole;
  if (last_text.empty()) {
    last = length == 0 ? 0 : length - 1;
  } else if (!ParseDecimal(last_text, &last) || last < first) {
    return whole;
  }
  if (first >= length) return ByteRange{ByteRange::kUnsatisfiable, 0, 0};
  result.first = first;
  result.last = last < length ? last : length - 1;
  return result;
}
