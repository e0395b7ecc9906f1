// Streaming one content file as an HTTP response.
#pragma once

#include "platform/file_read.h"
#include "server/block_socket.h"
#include "server/request_parse.h"

// Sends the header for `range` of the file and then its bytes, chunk by
// chunk, never holding more than one chunk in memory. With `unscramble` the
// stored bytes are turned back into plain bytes on the way. A file that
// yields fewer bytes than it had when opened ends the response early (the
// client sees a body shorter than its Content-Length); a failed send gives
// up the rest.
void SendFileResponse(CMyBlockSocket& socket, const platform::ReadOnlyFile& file,
                      const ByteRange& range, const char* content_type, bool unscramble);
