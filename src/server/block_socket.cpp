// Whole-block sends and line-by-line reads on a connected socket.
#include "server/block_socket.h"

#include <algorithm>
#include <cstring>

int CMyBlockSocket::SendAll(const char* bytes, int count, bool more) {
  int total = 0;
  do {
    long sent = platform::SendBytes(m_hSocket, bytes + total,
                                    static_cast<std::size_t>(count - total), more);
    if (sent < 0 || (sent == 0 && count > 0)) break;
    total += static_cast<int>(sent);
  } while (total < count);
  return total;
}

int CMyHttpBlockSocket::FindLineFeed(int from) const {
  const void* found =
      std::memchr(m_buffer + from, '\n', static_cast<std::size_t>(m_nBuffered - from));
  return found == nullptr ? -1 : static_cast<int>(static_cast<const char*>(found) - m_buffer);
}

bool CMyHttpBlockSocket::ReceiveMore() {
  if (m_nBuffered >= kBufferSize) return false;
  long received = platform::ReceiveBytes(m_hSocket, m_buffer + m_nBuffered,
                                         static_cast<std::size_t>(kBufferSize - m_nBuffered));
  if (received <= 0) return false;
  m_nBuffered += static_cast<int>(received);
  return true;
}

int CMyHttpBlockSocket::ReadLine(char* line) {
  int line_feed = FindLineFeed(0);
  while (line_feed < 0) {
    int searched = m_nBuffered;
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
  m_nBuffered -= line_length;
  std::memmove(m_buffer, m_buffer + line_length, static_cast<std::size_t>(m_nBuffered));
  return copied;
}

int CMyHttpBlockSocket::TakeBuffered(char* out, int room) {
  int moved = std::min(room, m_nBuffered);
  std::memcpy(out, m_buffer, static_cast<std::size_t>(moved));
  m_nBuffered -= moved;
  std::memmove(m_buffer, m_buffer + moved, static_cast<std::size_t>(m_nBuffered));
  return moved;
}
