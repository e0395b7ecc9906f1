// Whole-block sends and line-by-line reads on a connected socket.
#include "server/block_socket.h"

#include <algorithm>
#include <climits>
#include <cstring>

int CMyBlockSocket::SendAll(const char* bytes, int count, bool more) {
  int total = 0;
  do {
    long sent =
        platform::SendBytes(m_socket, bytes + total, static_cast<std::size_t>(count - total), more);
    if (sent < 0 || (sent == 0 && count > 0)) break;
    total += static_cast<int>(sent);
  } while (total < count);
  return total;
}

void CMyBlockSocket::Close() {
  platform::CloseSocket(m_socket);
  m_socket = platform::kNoSocket;
}

int CMyHttpBlockSocket::FindLineFeed(int from) const {
  const void* found =
      std::memchr(m_buffer + from, '\n', static_cast<std::size_t>(m_buffered - from));
  return found == nullptr ? -1 : static_cast<int>(static_cast<const char*>(found) - m_buffer);
}

namespace {

// Milliseconds from now until `deadline`, rounded up; 0 once it has passed.
int MillisecondsUntil(std::chrono::steady_clock::time_point deadline) {
  auto left = deadline - std::chrono::steady_clock::now();
  if (left <= std::chrono::steady_clock::duration::zero()) return 0;
  auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return static_cast<int>(std::min<decltype(milliseconds)>(milliseconds, INT_MAX));
}

}  // namespace

bool CMyHttpBlockSocket::ReceiveMore() {
  if (m_buffered >= kBufferSize) return false;
  char* into = m_buffer + m_buffered;
  const auto room = static_cast<std::size_t>(kBufferSize - m_buffered);
  long received = 0;
  if (m_line_deadline == std::chrono::steady_clock::time_point::max()) {
    received = platform::ReceiveBytes(Handle(), into, room);
  } else {
    int left_ms = MillisecondsUntil(m_line_deadline);
    if (left_ms == 0) return false;
    received = platform::ReceiveBytesWithin(Handle(), into, room, left_ms);
  }
  if (received <= 0) return false;
  m_buffered += static_cast<int>(received);
  return true;
}

int CMyHttpBlockSocket::ReadLine(char* line) {
  int line_feed = FindLineFeed(0);
  while (line_feed < 0) {
    int searched = m_buffered;
    if (!ReceiveMore()) {
      line[0] = '\0';
      return 0;
    }
    line_feed = FindLineFeed(searched);
  }
  int line_length = line_feed + 1;
  int copied = std::min(line_length, kMaxLine);
  std::memcpy(line, m_buffer, static_cast<std::size_t>(copied));
  line[copied] = '\0';
  m_buffered -= line_length;
  std::memmove(m_buffer, m_buffer + line_length, static_cast<std::size_t>(m_buffered));
  return copied;
}

int CMyHttpBlockSocket::TakeBuffered(char* out, int room) {
  int moved = std::min(room, m_buffered);
  std::memcpy(out, m_buffer, static_cast<std::size_t>(moved));
  m_buffered -= moved;
  std::memmove(m_buffer, m_buffer + moved, static_cast<std::size_t>(m_buffered));
  return moved;
}
