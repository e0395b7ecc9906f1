// Reading the parts of a request that the server looks at: the request line,
// the Host, Range and Content-Length headers. Pure functions over text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

enum class RequestMethod { kGet, kPost, kOther };

struct RequestLine {
  RequestMethod method = RequestMethod::kOther;
  std::string_view raw_path;  // the bytes between the first and the second space
};

// Splits a request line at its first two spaces. False when it has fewer
// than two spaces. The method is compared without regard to ASCII case.
bool SplitRequestLine(std::string_view line, RequestLine* out);

// "/" and "/custom", without regard to letter case, get the default answer.
bool IsDefaultAnswerPath(std::string_view raw_path);

// A Host header value naming this machine: localhost, 127.0.0.1 or [::1],
// with or without a port. Any other name (a web site that resolves to the
// loopback address, for one) is refused.
bool IsAllowedHost(std::string_view host_value);

// What the header lines said, gathered one line at a time.
struct RequestHeaders {
  static constexpr std::size_t kRangeRoom = 64;
  bool host_refused = false;  // a Host header named another machine
  bool has_content_length = false;
  std::uint64_t content_length = 0;
  std::size_t range_length = 0;  // 0: no usable Range header
  char range[kRangeRoom] = {};   // the Range value, trimmed

  std::string_view Range() const { return std::string_view(range, range_length); }
};
// Notes one header line (with or without its CR LF). A Range value longer
// than kRangeRoom cannot be a single range and is dropped.
void NoteHeaderLine(std::string_view line, RequestHeaders* headers);
// True for the line that ends the header block: CR LF, or a bare LF.
bool IsHeaderBlockEnd(std::string_view line);

// The part of a file of `length` bytes that a response carries.
struct ByteRange {
  enum Kind { kWhole, kPartial, kUnsatisfiable } kind = kWhole;
  std::uint64_t first = 0;  // kPartial: first and last byte, inclusive
  std::uint64_t last = 0;
};
// Resolves a Range value ("bytes=a-b", "bytes=a-", "bytes=-n"). Values that
// are malformed or ask for several ranges give the whole file; a range that
// starts at or behind the end gives kUnsatisfiable.
ByteRange ResolveRange(std::string_view range_value, std::uint64_t length);
