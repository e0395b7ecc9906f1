// Fixed response, default answer and file response headers.
#include "server/responses.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <string>

namespace {

constexpr char kFixedResponse[] =
    "HTTP/1.0 200 OK\r\n"
    "Server: Brenvik Mini Server\r\n"
    "Content-Type: text/html\r\n"
    "Accept-Ranges: bytes\r\n"
    "Content-Length: 28\r\n"
    "\r\n"
    "<html><body></body></html>\r\n";

// The page is ASCII, so it reads the same in the code page.
constexpr char kDefaultPage[] =
    "<html>\r\n"
    "<head>\r\n"
    "<title></title>\r\n"
    "</head>\r\n"
    "<body>\r\n"
    "<p align=\"center\">Brenvik - Lessons that travel light</p>\r\n"
    "<h3 align=\"center\"><a href=\"Default.htm\">Quillory</a></h3>\r\n"
    "<p align=\"center\">https://www.brenvik.example</p>\r\n"
    "</body></html>\r\n"
    "\r\n";

std::string BuildDefaultAnswer() {
  std::string page = kDefaultPage;
  std::string answer =
      "HTTP/1.0 200 OK\r\n"
      "Server: Brenvik Mini Server\r\n"
      "Content-Type: text/html\r\n"
      "Content-Length: " +
      std::to_string(page.size()) +
      "\r\n"
      "Connection: close\r\n";
  answer += "\r\n";  // the empty line that ends the header block
  return answer + page;
}

}  // namespace

std::string_view FixedResponse() {
  return std::string_view(kFixedResponse, sizeof kFixedResponse - 1);
}

std::string_view DefaultAnswer() {
  // Never destroyed: detached connection threads may still send it at exit.
  static const std::string* answer = new std::string(BuildDefaultAnswer());
  return *answer;
}

std::uint64_t BodyLength(const ByteRange& range, std::uint64_t length) {
  switch (range.kind) {
    case ByteRange::kPartial:
      return range.last - range.first + 1;
    case ByteRange::kUnsatisfiable:
      return 0;
    default:
      return length;
  }
}

std::size_t FormatFileHeader(char* out, const ByteRange& range, std::uint64_t length,
                             const char* content_type) {
  const char* status = "200 OK";
  char content_range[96] = "";
  if (range.kind == ByteRange::kPartial) {
    status = "206 Partial Content";
    std::snprintf(content_range, sizeof content_range,
                  "Content-Range: bytes %" PRIu64 "-%" PRIu64 "/%" PRIu64 "\r\n", range.first,
                  range.last, length);
  } else if (range.kind == ByteRange::kUnsatisfiable) {
    status = "416 Range Not Satisfiable";
    std::snprintf(content_range, sizeof content_range, "Content-Range: bytes */%" PRIu64 "\r\n",
                  length);
  }
  int written = std::snprintf(out, kFileHeaderRoom,
                              "HTTP/1.0 %s\r\n"
                              "Server: Brenvik Mini Server\r\n"
                              "Content-Type: %s\r\n"
                              "Accept-Ranges: bytes\r\n"
                              "%s"
                              "Content-Length: %" PRIu64
                              "\r\n"
                              "Connection: close\r\n"
                              "\r\n",
                              status, content_type, content_range, BodyLength(range, length));
  if (written < 0) return 0;
  return std::min(static_cast<std::size_t>(written), kFileHeaderRoom - 1);
}
