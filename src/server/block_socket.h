// The connected socket of one connection: writing whole blocks, and reading
// an HTTP request line by line. Each object belongs to the one connection
// thread that serves its connection; nothing here takes a lock.
#pragma once

#include <chrono>
#include <cstddef>

#include "platform/socket.h"

// Writes whole blocks of bytes to a connected socket. The destructor does not
// close the socket: whoever attaches it closes it. Neither class is deleted
// through a pointer to its base, so neither needs virtual functions.
class CMyBlockSocket {
 public:
  // Sends all `count` bytes, in order, with as many sends as the socket needs.
  // Returns the count sent in total; less than `count` when a send failed (the
  // peer has gone or made no progress within the socket's time-out), after
  // which the rest of the block is given up. With `more`, the last packet may
  // wait for the next send.
  int SendAll(const char* bytes, int count, bool more = false);

  // Takes a connected socket to work on; one attached before is forgotten, not closed.
  void Attach(platform::SocketHandle socket) { m_socket = socket; }
  // The attached socket (kNoSocket when none), for platform calls on it.
  platform::SocketHandle Handle() const { return m_socket; }
  // Closes the attached socket, if any, and forgets it.
  void Close();

 private:
  platform::SocketHandle m_socket = platform::kNoSocket;
};

// Adds a receive buffer that hands out the request line and the header lines
// one at a time.
class CMyHttpBlockSocket : public CMyBlockSocket {
 public:
  static constexpr int kBufferSize = 1000;
  // A line handed out is cut to this many bytes; callers give one more byte
  // of room for the terminating zero.
  static constexpr int kMaxLine = 499;

  // Stores the next line (up to and including its line feed, cut to
  // kMaxLine bytes) zero-terminated in `line`, which has kMaxLine + 1 bytes of
  // room, and returns the count stored (1 to kMaxLine). Returns 0 when no line
  // can be had: the peer closed, a receive failed or timed out, the line
  // deadline passed, or the buffer filled up without a line feed. The
  // connection is unusable after that.
  int ReadLine(char* line);

  // Lines that have not arrived by `deadline` are not waited for any more:
  // ReadLine then returns 0. Without a call, ReadLine waits as long as the
  // socket's time-out lets each receive wait.
  void SetLineDeadline(std::chrono::steady_clock::time_point deadline) {
    m_line_deadline = deadline;
  }

  // Moves the bytes received behind the last line handed out to `out` (at
  // most `room`), for a request body. Returns the count moved.
  int TakeBuffered(char* out, int room);

 private:
  // Receives behind the buffered bytes; false when nothing more can come.
  bool ReceiveMore();
  // Index of the first line feed at or after `from`, or -1.
  int FindLineFeed(int from) const;

  char m_buffer[kBufferSize];
  int m_buffered = 0;
  std::chrono::steady_clock::time_point m_line_deadline =
      std::chrono::steady_clock::time_point::max();
};
