// The server's fixed texts and the header of a file response.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "server/request_parse.h"

// The empty page sent for a missing file and for every POST: exactly 143
// bytes, status line and headers included.
std::string_view FixedResponse();

// The answer to "/" and "/custom": a header block with the page's length,
// the empty line, then the default page in the code page.
std::string_view DefaultAnswer();

// Room that a file response header needs at most.
inline constexpr std::size_t kFileHeaderRoom = 384;

// Writes the status line and headers of a file response (through the empty
// line) into `out`, which has kFileHeaderRoom bytes. 200 for kWhole, 206 with
// Content-Range for kPartial, 416 for kUnsatisfiable. Returns the count
// written.
std::size_t FormatFileHeader(char* out, const ByteRange& range, std::uint64_t length,
                             const char* content_type);

// Count of body bytes that a response for `range` of a file of `length` bytes carries.
std::uint64_t BodyLength(const ByteRange& range, std::uint64_t length);
