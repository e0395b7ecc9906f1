// A mutex-guarded stack of idle chunk buffers.
#include "server/chunk_pool.h"

#include <mutex>
#include <vector>

namespace {

constexpr std::size_t kMaxIdleBuffers = 32;

struct Pool {
  std::mutex mutex;
  std::vector<char*> idle;

  Pool() { idle.reserve(kMaxIdleBuffers); }
};

Pool& ThePool() {
  static Pool* pool = new Pool();  // never destroyed: detached threads may outlive exit
  return *pool;
}

}  // namespace

ChunkBuffer::ChunkBuffer() {
  Pool& pool = ThePool();
  {
    std::lock_guard<std::mutex> lock(pool.mutex);
    if (!pool.idle.empty()) {
      m_data = pool.idle.back();
      pool.idle.pop_back();
      return;
    }
  }
  m_data = new char[kChunkLead + kChunkBytes];
}

ChunkBuffer::~ChunkBuffer() {
  Pool& pool = ThePool();
  {
    std::lock_guard<std::mutex> lock(pool.mutex);
    if (pool.idle.size() < kMaxIdleBuffers) {
      pool.idle.push_back(m_data);
      return;
    }
  }
  delete[] m_data;
}
