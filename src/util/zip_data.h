// Decoding an entry's data read straight from the archive file, so that
// several threads can decode entries of one archive at once. Internal to
// the zip extraction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "util/zip_fault.h"

struct libdeflate_decompressor;

namespace platform {
class ArchiveFile;
class FileWriter;
}  // namespace platform

// Where an entry's data lies in the archive file and what it must decode to.
struct EntryData {
  std::uint64_t offset = 0;  // of the data's first byte
  std::uint64_t compressed_size = 0;
  std::uint64_t uncompressed_size = 0;
  std::uint32_t crc = 0;
  bool deflated = false;  // stored otherwise
};

// Decodes one entry after another on one thread, keeping its buffers
// between entries.
class EntryDecoder {
 public:
  EntryDecoder();
  ~EntryDecoder();
  EntryDecoder(const EntryDecoder&) = delete;
  EntryDecoder& operator=(const EntryDecoder&) = delete;

  // Writes the entry's data to `writer`. kNone only when all of it could be
  // read and written, it decoded to exactly its recorded size and its CRC-32
  // matched; otherwise the first of these that failed.
  EntryFault Decode(const platform::ArchiveFile& file, const EntryData& data,
                    platform::FileWriter& writer);

 private:
  // Memory that grows to the largest size asked for and is kept.
  class Buffer {
   public:
    char* Get(std::size_t size);

   private:
    std::unique_ptr<char[]> m_data;
    std::size_t m_size = 0;
  };

  EntryFault CopyStored(const platform::ArchiveFile& file, const EntryData& data,
                        platform::FileWriter& writer);
  EntryFault InflateWhole(const platform::ArchiveFile& file, const EntryData& data,
                          platform::FileWriter& writer);
  EntryFault InflateStreaming(const platform::ArchiveFile& file, const EntryData& data,
                              platform::FileWriter& writer);

  Buffer m_in;
  Buffer m_out;
  libdeflate_decompressor* m_decompressor = nullptr;
};
