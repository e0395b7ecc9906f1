// Decoding an entry's data: stored data is copied, deflated data of a
// moderate size is inflated whole in memory (libdeflate, several times
// faster than zlib's streaming), larger data is inflated in pieces so that
// memory stays bounded whatever the entry's size.
#include "util/zip_data.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>

#include "platform/archive_file.h"
#include "platform/file_writer.h"

namespace {

// Pieces of this size are read, checked and written in turn: few system
// calls per piece, and a piece still in the processor's cache when it is
// written.
constexpr std::size_t kPieceSize = 256 * 1024;
// Deflated entries up to this size (either side) are inflated in one go.
constexpr std::uint64_t kWholeEntryLimit = 32u << 20;
// Deflate cannot expand data more than this; an entry that claims more is
// damaged, and its claim alone should not size a buffer.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

std::uint32_t Crc32(std::uint32_t crc, const char* data, std::size_t size) {
  return libdeflate_crc32(crc, data, size);
}

EntryFault CrcFault(std::uint32_t crc, const EntryData& data) {
  return crc == data.crc ? EntryFault::kNone : EntryFault::kCrcDiffers;
}

EntryFault WriteFault(const platform::FileWriter& writer) {
  return writer.DiskFull() ? EntryFault::kDiskFull : EntryFault::kWriteFailed;
}

// Ends a zlib inflate stream on every path out.
class InflateGuard {
 public:
  explicit InflateGuard(z_stream& stream) : m_stream(stream) {}
  ~InflateGuard() { inflateEnd(&m_stream); }
  InflateGuard(const InflateGuard&) = delete;
  InflateGuard& operator=(const InflateGuard&) = delete;

 private:
  z_stream& m_stream;
};

}  // namespace

char* EntryDecoder::Buffer::Get(std::size_t size) {
  if (size > m_size || !m_data) {
    m_data.reset();  // the old memory goes before the new is asked for
    m_data.reset(new char[std::max<std::size_t>(size, 1)]);
    m_size = size;
  }
  return m_data.get();
}

EntryDecoder::EntryDecoder() = default;

EntryDecoder::~EntryDecoder() {
  if (m_decompressor != nullptr) libdeflate_free_decompressor(m_decompressor);
}

EntryFault EntryDecoder::Decode(const platform::ArchiveFile& file, const EntryData& data,
                                platform::FileWriter& writer) {
  if (!data.deflated) return CopyStored(file, data, writer);
  if (data.compressed_size <= kWholeEntryLimit && data.uncompressed_size <= kWholeEntryLimit &&
      data.uncompressed_size / kMaxDeflateRatio <= data.compressed_size) {
    return InflateWhole(file, data, writer);
  }
  return InflateStreaming(file, data, writer);
}

EntryFault EntryDecoder::CopyStored(const platform::ArchiveFile& file, const EntryData& data,
                                    platform::FileWriter& writer) {
  if (data.compressed_size != data.uncompressed_size) return EntryFault::kSizeDiffers;
  char* piece = m_in.Get(kPieceSize);
  std::uint32_t crc = 0;
  std::uint64_t position = data.offset;
  for (std::uint64_t left = data.uncompressed_size; left > 0;) {
    std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(left, kPieceSize));
    if (file.ReadAt(position, piece, count) != count) return EntryFault::kDataCutShort;
    crc = Crc32(crc, piece, count);
    if (!writer.Write(piece, count)) return WriteFault(writer);
    position += count;
    left -= count;
  }
  return CrcFault(crc, data);
}

EntryFault EntryDecoder::InflateWhole(const platform::ArchiveFile& file, const EntryData& data,
                                      platform::FileWriter& writer) {
  if (m_decompressor == nullptr) m_decompressor = libdeflate_alloc_decompressor();
  if (m_decompressor == nullptr) return EntryFault::kOutOfMemory;
  auto in_size = static_cast<std::size_t>(data.compressed_size);
  auto out_size = static_cast<std::size_t>(data.uncompressed_size);
  char* in = m_in.Get(in_size);
  char* out = m_out.Get(out_size);
  if (file.ReadAt(data.offset, in, in_size) != in_size) return EntryFault::kDataCutShort;
  std::size_t used = 0;
  std::size_t produced = 0;
  const libdeflate_result result = libdeflate_deflate_decompress_ex(
      m_decompressor, in, in_size, out, out_size, &used, &produced);
  if (result == LIBDEFLATE_BAD_DATA) return EntryFault::kDataDamaged;
  // Data that would inflate past the recorded size differs as short data does.
  if (result != LIBDEFLATE_SUCCESS || produced != out_size) return EntryFault::kSizeDiffers;
  if (EntryFault crc = CrcFault(Crc32(0, out, out_size), data); crc != EntryFault::kNone) {
    return crc;
  }
  return writer.Write(out, out_size) ? EntryFault::kNone : WriteFault(writer);
}

EntryFault EntryDecoder::InflateStreaming(const platform::ArchiveFile& file, const EntryData& data,
                                          platform::FileWriter& writer) {
  z_stream stream{};
  // Zip entries hold raw deflate data, without zlib's header.
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return EntryFault::kOutOfMemory;
  InflateGuard guard(stream);
  char* in = m_in.Get(kPieceSize);
  char* out = m_out.Get(kPieceSize);
  std::uint64_t position = data.offset;
  std::uint64_t in_left = data.compressed_size;
  std::uint64_t out_left = data.uncompressed_size;
  std::uint32_t crc = 0;
  for (int status = Z_OK; status != Z_STREAM_END;) {
    if (stream.avail_in == 0) {
      // The data ends before its stream does.
      if (in_left == 0) return EntryFault::kDataCutShort;
      std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(in_left, kPieceSize));
      if (file.ReadAt(position, in, count) != count) return EntryFault::kDataCutShort;
      position += count;
      in_left -= count;
      stream.next_in = reinterpret_cast<Bytef*>(in);
      stream.avail_in = static_cast<uInt>(count);
    }
    stream.next_out = reinterpret_cast<Bytef*>(out);
    stream.avail_out = static_cast<uInt>(kPieceSize);
    status = inflate(&stream, Z_NO_FLUSH);
    if (status == Z_MEM_ERROR) return EntryFault::kOutOfMemory;
    if (status != Z_OK && status != Z_STREAM_END) return EntryFault::kDataDamaged;
    std::size_t produced = kPieceSize - stream.avail_out;
    if (produced > out_left) return EntryFault::kSizeDiffers;
    out_left -= produced;
    crc = Crc32(crc, out, produced);
    if (!writer.Write(out, produced)) return WriteFault(writer);
  }
  return out_left != 0 ? EntryFault::kSizeDiffers : CrcFault(crc, data);
}
