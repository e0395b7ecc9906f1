// One request: read, decide, answer.
#include "server/request_handler.h"

#include <algorithm>
#include <optional>
#include <string>

#include "platform/socket.h"
#include "server/file_response.h"
#include "server/mime_types.h"
#include "server/request_parse.h"
#include "server/responses.h"
#include "util/text.h"

namespace {

// Larger request bodies are not read to their end before the answer.
constexpr std::uint64_t kMaxDiscardedBody = 1 << 20;
// A header block longer than this is not a browser's: the connection ends.
constexpr int kMaxHeaderLines = 200;

using Line = char[CMyHttpBlockSocket::kMaxLine + 1];

void SendText(CMyBlockSocket& socket, std::string_view text) {
  socket.SendAll(text.data(), static_cast<int>(text.size()));
}

// Reads the header lines through the empty line. False when the connection
// ended first or the block has no end in sight.
bool ReadHeaders(CMyHttpBlockSocket& socket, RequestHeaders* headers) {
  Line line;
  for (int count = 0; count <= kMaxHeaderLines; ++count) {
    int length = socket.ReadLine(line);
    if (length == 0) return false;
    std::string_view text(line, static_cast<std::size_t>(length));
    if (IsHeaderBlockEnd(text)) return true;
    NoteHeaderLine(text, headers);
  }
  return false;
}

// Reads and drops a request body announced by Content-Length, so that the
// client is not cut off while it still sends.
void DiscardBody(CMyHttpBlockSocket& socket, const RequestHeaders& headers) {
  if (!headers.has_content_length) return;
  std::uint64_t remaining = std::min(headers.content_length, kMaxDiscardedBody);
  char scratch[1024];
  remaining -= static_cast<std::uint64_t>(
      socket.TakeBuffered(scratch, static_cast<int>(std::min<std::uint64_t>(remaining, 1000))));
  while (remaining > 0) {
    long got = platform::ReceiveBytes(socket.Handle(), scratch,
                                      std::min<std::uint64_t>(remaining, sizeof scratch));
    if (got <= 0) return;
    remaining -= static_cast<std::uint64_t>(got);
  }
}

std::string CutAtZero(std::string text) {
  std::size_t zero = text.find('\0');
  if (zero != std::string::npos) text.resize(zero);
  return text;
}

struct FoundFile {
  platform::ReadOnlyFile file;
  std::string decoded_path;  // code-page bytes
};

// Browsers send a path either as percent-encoded UTF-8 or as percent-encoded
// code-page bytes: the decoding under which the file exists wins. The
// decodings differ only for non-ASCII bytes, so an ASCII path is looked up once.
std::optional<FoundFile> FindRequestedFile(const ContentRoot& root, const std::string& raw_path) {
  std::string from_utf8 = UrlDecodeUtf8(raw_path);
  if (auto file = OpenContentFile(root, from_utf8)) {
    return FoundFile{std::move(*file), std::move(from_utf8)};
  }
  std::string from_code_page = CutAtZero(UrlDecode(raw_path));
  if (from_code_page == from_utf8) return std::nullopt;
  if (auto file = OpenContentFile(root, from_code_page)) {
    return FoundFile{std::move(*file), std::move(from_code_page)};
  }
  return std::nullopt;
}

void AnswerGet(CMyHttpBlockSocket& socket, const ContentRoot& root, std::string_view raw_path,
               const RequestHeaders& headers) {
  if (IsDefaultAnswerPath(raw_path)) {
    SendText(socket, DefaultAnswer());
    return;
  }
  if (raw_path.find('?') != std::string_view::npos) return;
  std::optional<FoundFile> found = FindRequestedFile(root, std::string(raw_path));
  if (!found) {
    SendText(socket, FixedResponse());
    return;
  }
  ByteRange range;
  if (headers.range_length > 0) range = ResolveRange(headers.Range(), found->file.Size());
  bool unscramble = !root.dev_mode && !IsStoredPlain(found->decoded_path);
  SendFileResponse(socket, found->file, range, ContentTypeForPath(found->decoded_path), unscramble);
}

}  // namespace

void HandleConnection(CMyHttpBlockSocket& socket, bool peer_is_local, const ContentRoot& root) {
  if (!peer_is_local) return;
  Line request_line;
  int length = socket.ReadLine(request_line);
  RequestLine request;
  if (length == 0 ||
      !SplitRequestLine(std::string_view(request_line, static_cast<std::size_t>(length)),
                        &request) ||
      request.method == RequestMethod::kOther) {
    return;
  }
  RequestHeaders headers;
  if (!ReadHeaders(socket, &headers) || headers.host_refused) return;
  if (request.method == RequestMethod::kPost) {
    DiscardBody(socket, headers);
    SendText(socket, FixedResponse());
    return;
  }
  AnswerGet(socket, root, request.raw_path, headers);
}
