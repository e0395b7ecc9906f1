// Request line, headers, ranges and content types.
#include "server/request_parse.h"

#include <gtest/gtest.h>

#include <string>

#include "server/expected_answers.h"
#include "server/mime_types.h"
#include "server/responses.h"

namespace {

TEST(RequestParseTest, SplitsRequestLinesAtTheirFirstTwoSpaces) {
  struct Case {
    const char* line;
    bool ok;
    RequestMethod method;
    const char* raw_path;
  } cases[] = {
      {"GET /a.html HTTP/1.1\r\n", true, RequestMethod::kGet, "/a.html"},
      {"get / HTTP/1.0\r\n", true, RequestMethod::kGet, "/"},
      {"PoSt /x HTTP/1.1\r\n", true, RequestMethod::kPost, "/x"},
      {"HEAD /a.html HTTP/1.1\r\n", true, RequestMethod::kOther, "/a.html"},
      {"GET  HTTP/1.1\r\n", true, RequestMethod::kGet, ""},
      {"GET /a.html\r\n", false, RequestMethod::kOther, ""},
      {"GET\r\n", false, RequestMethod::kOther, ""},
  };
  for (const Case& c : cases) {
    RequestLine line;
    EXPECT_EQ(SplitRequestLine(c.line, &line), c.ok) << c.line;
    if (!c.ok) continue;
    EXPECT_EQ(line.method, c.method) << c.line;
    EXPECT_EQ(line.raw_path, c.raw_path) << c.line;
  }
}

TEST(RequestParseTest, RecognisesTheDefaultAnswerPaths) {
  EXPECT_TRUE(IsDefaultAnswerPath("/"));
  EXPECT_TRUE(IsDefaultAnswerPath("/custom"));
  EXPECT_TRUE(IsDefaultAnswerPath("/CUSTOM"));
  EXPECT_FALSE(IsDefaultAnswerPath("/custom/"));
  EXPECT_FALSE(IsDefaultAnswerPath("//"));
}

TEST(RequestParseTest, AllowsOnlyHostNamesOfThisMachine) {
  struct Case {
    const char* value;
    bool allowed;
  } cases[] = {
      {"localhost", true},
      {"LocalHost:8080", true},
      {"127.0.0.1:34567", true},
      {" 127.0.0.1 \r\n", true},
      {"[::1]:80", true},
      {"[::1]", true},
      {"evil.example", false},
      {"localhost.evil.example", false},
      {"127.0.0.1.nip.io", false},
      {"127.0.0.2", false},
      {"localhost:", false},
      {"localhost:99999", false},
      {"localhost:80x", false},
      {"", false},
      {"[::2]", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsAllowedHost(c.value), c.allowed) << c.value;
}

TEST(RequestParseTest, NotesHostRangeAndContentLengthHeaders) {
  RequestHeaders headers;
  NoteHeaderLine("host: 127.0.0.1:9\r\n", &headers);
  NoteHeaderLine("RANGE: bytes=5-9\r\n", &headers);
  NoteHeaderLine("Content-Length: 12\r\n", &headers);
  NoteHeaderLine("X-Other: y\r\n", &headers);
  EXPECT_FALSE(headers.host_refused);
  EXPECT_EQ(headers.Range(), "bytes=5-9");
  EXPECT_TRUE(headers.has_content_length);
  EXPECT_EQ(headers.content_length, 12u);
  NoteHeaderLine("Host: rebound.example\r\n", &headers);
  EXPECT_TRUE(headers.host_refused);
  EXPECT_TRUE(IsHeaderBlockEnd("\r\n"));
  EXPECT_TRUE(IsHeaderBlockEnd("\n"));
  EXPECT_FALSE(IsHeaderBlockEnd(" \r\n"));
}

TEST(RequestParseTest, ResolvesSingleByteRanges) {
  constexpr std::uint64_t kLength = 1000;
  struct Case {
    const char* value;
    ByteRange::Kind kind;
    std::uint64_t first, last;
  } cases[] = {
      {"bytes=0-99", ByteRange::kPartial, 0, 99},
      {"bytes=900-", ByteRange::kPartial, 900, 999},
      {"bytes=-100", ByteRange::kPartial, 900, 999},
      {"bytes=-5000", ByteRange::kPartial, 0, 999},
      {"bytes=990-5000", ByteRange::kPartial, 990, 999},
      {"BYTES= 10 - 20", ByteRange::kPartial, 10, 20},
      {"bytes=999-999", ByteRange::kPartial, 999, 999},
      {"bytes=1000-", ByteRange::kUnsatisfiable, 0, 0},
      {"bytes=-0", ByteRange::kUnsatisfiable, 0, 0},
      {"bytes=20-10", ByteRange::kWhole, 0, 0},
      {"bytes=0-1,5-9", ByteRange::kWhole, 0, 0},
      {"items=0-9", ByteRange::kWhole, 0, 0},
      {"bytes=x-9", ByteRange::kWhole, 0, 0},
      {"bytes=-", ByteRange::kWhole, 0, 0},
      {"bytes=99999999999999999999-", ByteRange::kWhole, 0, 0},
  };
  for (const Case& c : cases) {
    ByteRange range = ResolveRange(c.value, kLength);
    EXPECT_EQ(range.kind, c.kind) << c.value;
    if (c.kind != ByteRange::kPartial) continue;
    EXPECT_EQ(range.first, c.first) << c.value;
    EXPECT_EQ(range.last, c.last) << c.value;
  }
  EXPECT_EQ(ResolveRange("bytes=0-", 0).kind, ByteRange::kUnsatisfiable);
}

TEST(RequestParseTest, FormatsFileHeadersWithStatusLengthAndRange) {
  char header[kFileHeaderRoom];
  std::string whole(header, FormatFileHeader(header, ByteRange{}, 1234, "text/html"));
  EXPECT_EQ(whole,
            "HTTP/1.0 200 OK\r\nServer: Brenvik Mini Server\r\nContent-Type: text/html\r\n"
            "Accept-Ranges: bytes\r\nContent-Length: 1234\r\nConnection: close\r\n\r\n");
  ByteRange part{ByteRange::kPartial, 10, 19};
  std::string partial(header, FormatFileHeader(header, part, 1234, "video/mp4"));
  EXPECT_EQ(partial.substr(0, partial.find("\r\n")), "HTTP/1.0 206 Partial Content");
  EXPECT_NE(partial.find("\r\nContent-Range: bytes 10-19/1234\r\n"), std::string::npos);
  EXPECT_NE(partial.find("\r\nContent-Length: 10\r\n"), std::string::npos);
  ByteRange none{ByteRange::kUnsatisfiable, 0, 0};
  std::string refused(header, FormatFileHeader(header, none, 1234, "video/mp4"));
  EXPECT_EQ(refused.substr(0, refused.find("\r\n")), "HTTP/1.0 416 Range Not Satisfiable");
  EXPECT_NE(refused.find("\r\nContent-Range: bytes */1234\r\n"), std::string::npos);
  EXPECT_NE(refused.find("\r\nContent-Length: 0\r\n"), std::string::npos);
}

TEST(RequestParseTest, ChoosesContentTypesByExtension) {
  struct Case {
    const char* path;
    const char* type;
  } cases[] = {
      {"/a/index.HTML", "text/html"},
      {"/a.htm", "text/html"},
      {"/s.css", "text/css"},
      {"/m.mjs", "application/javascript"},
      {"/p.JPEG", "image/jpeg"},
      {"/v/clip.mp4", "video/mp4"},
      {"/f.woff2", "font/woff2"},
      {"/d.json", "application/json"},
      {"/x.unknown", "application/octet-stream"},
      {"/dir.v2/noext", "application/octet-stream"},
      {"/trailing.", "application/octet-stream"},
  };
  for (const Case& c : cases) EXPECT_STREQ(ContentTypeForPath(c.path), c.type) << c.path;
}

TEST(RequestParseTest, FixedTextsAreExactlyTheExpectedBytes) {
  ASSERT_EQ(test::kFixedResponse.size(), 143u);
  EXPECT_EQ(FixedResponse(), test::kFixedResponse);
  std::string answer(DefaultAnswer());
  std::size_t body = answer.find("\r\n\r\n") + 4;
  EXPECT_EQ(answer.substr(body), test::kDefaultPage);
  std::string length = "Content-Length: " + std::to_string(test::kDefaultPage.size()) + "\r\n";
  EXPECT_NE(answer.substr(0, body).find(length), std::string::npos);
}

}  // namespace
