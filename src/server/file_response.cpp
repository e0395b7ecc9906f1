// File responses: header, then the bytes, copied by the system for plain
// files and read, unscrambled and sent in chunks for scrambled ones.
#include "server/file_response.h"

#include <algorithm>
#include <cstring>

#include "platform/socket.h"
#include "server/chunk_pool.h"
#include "server/content_store.h"
#include "server/responses.h"

namespace {

static_assert(kFileHeaderRoom <= kChunkLead, "the header must fit in front of a chunk");

void SendPlainBody(CMyBlockSocket& socket, const platform::ReadOnlyFile& file, std::uint64_t offset,
                   std::uint64_t remaining) {
  while (remaining > 0) {
    std::size_t step = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, 1u << 30));
    long sent = platform::SendFileBytes(socket.Handle(), file.Handle(), offset, step);
    if (sent <= 0) return;  // failed, or the file has shrunk
    offset += static_cast<std::uint64_t>(sent);
    remaining -= static_cast<std::uint64_t>(sent);
  }
}

// Reads, unscrambles and sends chunk after chunk; the header goes out with
// the first chunk.
void SendScrambledBody(CMyBlockSocket& socket, const platform::ReadOnlyFile& file,
                       std::uint64_t offset, std::uint64_t remaining, const char* header,
                       std::size_t header_length) {
  ChunkBuffer buffer;
  char* chunk = buffer.Data() + kChunkLead;
  char* lead = chunk - header_length;
  std::memcpy(lead, header, header_length);
  while (remaining > 0) {
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kChunkBytes));
    long got = platform::ReadFileAt(file, chunk, want, offset);
    if (got <= 0) break;  // failed, or the file has shrunk
    ScrambleBytes(chunk, static_cast<std::size_t>(got), file.Size());
    int count = static_cast<int>(chunk + got - lead);
    if (socket.SendAll(lead, count) != count) return;
    offset += static_cast<std::uint64_t>(got);
    remaining -= static_cast<std::uint64_t>(got);
    lead = chunk;
  }
  if (lead != chunk) socket.SendAll(lead, static_cast<int>(header_length));
}

}  // namespace

void SendFileResponse(CMyBlockSocket& socket, const platform::ReadOnlyFile& file,
                      const ByteRange& range, const char* content_type, bool unscramble) {
  char header[kFileHeaderRoom];
  std::size_t header_length = FormatFileHeader(header, range, file.Size(), content_type);
  std::uint64_t offset = range.kind == ByteRange::kPartial ? range.first : 0;
  std::uint64_t body = BodyLength(range, file.Size());
  if (unscramble && body > 0) {
    SendScrambledBody(socket, file, offset, body, header, header_length);
    return;
  }
  if (socket.SendAll(header, static_cast<int>(header_length), body > 0) !=
      static_cast<int>(header_length)) {
    return;
  }
  SendPlainBody(socket, file, offset, body);
}
