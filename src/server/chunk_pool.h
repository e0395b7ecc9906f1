// Reusable buffers for streaming files, so that short-lived connection
// threads neither allocate nor fault in fresh memory for every response.
// Safe on any thread.
#pragma once

#include <cstddef>

// Bytes of a file read, unscrambled and sent per step.
inline constexpr std::size_t kChunkBytes = 64 * 1024;
// Room in front of the chunk for a response header, so that the header and
// the first chunk leave in one send.
inline constexpr std::size_t kChunkLead = 512;

// A buffer of kChunkLead + kChunkBytes, taken from the pool for the lifetime of the
// object and given back afterwards. The pool keeps a bounded number of idle
// buffers; more are allocated while many connections stream at once.
class ChunkBuffer {
 public:
  ChunkBuffer();
  ~ChunkBuffer();
  ChunkBuffer(const ChunkBuffer&) = delete;
  ChunkBuffer& operator=(const ChunkBuffer&) = delete;

  char* Data() { return m_data; }

 private:
  char* m_data;
};
