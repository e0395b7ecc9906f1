#include "zip/zip_builder.h"

#include <minizip/zip.h>
#include <zlib.h>

#include <fstream>
#include <iterator>

namespace ziptest {
namespace {

constexpr unsigned long kUtf8NameFlag = 1ul << 11;
constexpr std::size_t kMiB = 1 << 20;

zip_fileinfo FileInfo(const EntryTime& t) {
  zip_fileinfo info{};
  info.tmz_date.tm_year = static_cast<uInt>(t.year);
  info.tmz_date.tm_mon = static_cast<uInt>(t.month - 1);
  info.tmz_date.tm_mday = static_cast<uInt>(t.day);
  info.tmz_date.tm_hour = static_cast<uInt>(t.hour);
  info.tmz_date.tm_min = static_cast<uInt>(t.minute);
  info.tmz_date.tm_sec = static_cast<uInt>(t.second);
  return info;
}

// Opens an entry; `raw` entries take their bytes as stored and are closed
// with ZipCloseRaw.
bool OpenEntry(zipFile zip, const Entry& e, int method, int raw) {
  zip_fileinfo info = FileInfo(e.time);
  int level = method == 0 ? 0 : Z_DEFAULT_COMPRESSION;
  return zipOpenNewFileInZip4_64(zip, e.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                 method, level, raw, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0,
                                 0, e.utf8_flag ? kUtf8NameFlag : 0, 0) == ZIP_OK;
}

bool WriteData(zipFile zip, const std::string& data) {
  return data.empty() ||
         zipWriteInFileInZip(zip, data.data(), static_cast<unsigned>(data.size())) == ZIP_OK;
}

// Deflates `input` with a full flush, so that the output can be repeated.
std::string DeflateChunk(z_stream& stream, std::string& input, int flush) {
  std::string out(input.size() + 1024, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(input.data());
  stream.avail_in = static_cast<uInt>(input.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, flush);
  out.resize(out.size() - stream.avail_out);
  return out;
}

// Patches a little-endian 16-bit field at `offset` after every `signature`.
bool PatchField(const std::filesystem::path& path, const std::string& signature, std::size_t offset,
                std::uint16_t value, bool or_bits) {
  std::string bytes = ReadWhole(path);
  std::size_t at = 0;
  int patched = 0;
  while ((at = bytes.find(signature, at)) != std::string::npos) {
    auto* field = reinterpret_cast<unsigned char*>(&bytes[at + offset]);
    std::uint16_t old_value = static_cast<std::uint16_t>(field[0] | (field[1] << 8));
    std::uint16_t new_value = or_bits ? static_cast<std::uint16_t>(old_value | value) : value;
    field[0] = static_cast<unsigned char>(new_value & 0xFF);
    field[1] = static_cast<unsigned char>(new_value >> 8);
    at += signature.size();
    ++patched;
  }
  return patched > 0 && WriteWhole(path, bytes);
}

const std::string kLocalSignature("PK\x03\x04", 4);
const std::string kCentralSignature("PK\x01\x02", 4);

// minizip opens archives by a narrow name: the UTF-8 file-system name (on
// Windows path::c_str() is a wide string, which minizip would misread).
std::string ZipName(const std::filesystem::path& path) { return path.u8string(); }

}  // namespace

bool WriteZip(const std::filesystem::path& path, const std::vector<Entry>& entries) {
  zipFile zip = zipOpen64(ZipName(path).c_str(), APPEND_STATUS_CREATE);
  if (zip == nullptr) return false;
  bool ok = true;
  for (const Entry& e : entries) {
    ok = ok && OpenEntry(zip, e, e.stored ? 0 : Z_DEFLATED, 0) && WriteData(zip, e.data) &&
         zipCloseFileInZip(zip) == ZIP_OK;
  }
  return zipClose(zip, nullptr) == ZIP_OK && ok;
}

bool WriteZipWithWrongCrc(const std::filesystem::path& path, const std::string& name,
                          const std::string& data) {
  zipFile zip = zipOpen64(ZipName(path).c_str(), APPEND_STATUS_CREATE);
  if (zip == nullptr) return false;
  Entry e{name, data};
  uLong good_crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), data.size());
  bool ok = OpenEntry(zip, e, 0, 1) && WriteData(zip, data) &&
            zipCloseFileInZipRaw64(zip, data.size(), good_crc ^ 0x5A5A5A5Au) == ZIP_OK;
  return zipClose(zip, nullptr) == ZIP_OK && ok;
}

bool WriteZerosZip(const std::filesystem::path& path, const std::string& name, int mebibytes) {
  std::string zeros(kMiB, '\0');
  z_stream stream{};
  if (deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  std::string first = DeflateChunk(stream, zeros, Z_FULL_FLUSH);
  std::string repeated = DeflateChunk(stream, zeros, Z_FULL_FLUSH);
  std::string again = DeflateChunk(stream, zeros, Z_FULL_FLUSH);
  std::string none;
  std::string last = DeflateChunk(stream, none, Z_FINISH);
  deflateEnd(&stream);
  if (repeated != again) return false;  // the block would not repeat cleanly

  uLong chunk_crc = crc32(0, reinterpret_cast<const Bytef*>(zeros.data()), kMiB);
  uLong crc = chunk_crc;
  for (int i = 1; i < mebibytes; ++i) crc = crc32_combine(crc, chunk_crc, kMiB);

  zipFile zip = zipOpen64(ZipName(path).c_str(), APPEND_STATUS_CREATE);
  if (zip == nullptr) return false;
  bool ok = OpenEntry(zip, Entry{name, ""}, Z_DEFLATED, 1) && WriteData(zip, first);
  for (int i = 1; ok && i < mebibytes; ++i) ok = WriteData(zip, repeated);
  ok = ok && WriteData(zip, last) &&
       zipCloseFileInZipRaw64(zip, static_cast<ZPOS64_T>(mebibytes) * kMiB, crc) == ZIP_OK;
  return zipClose(zip, nullptr) == ZIP_OK && ok;
}

bool PatchMethod(const std::filesystem::path& path, std::uint16_t method) {
  return PatchField(path, kLocalSignature, 8, method, false) &&
         PatchField(path, kCentralSignature, 10, method, false);
}

bool AddFlagBits(const std::filesystem::path& path, std::uint16_t bits) {
  return PatchField(path, kLocalSignature, 6, bits, true) &&
         PatchField(path, kCentralSignature, 8, bits, true);
}

bool FlipByteAt(const std::filesystem::path& path, const std::string& marker) {
  std::string bytes = ReadWhole(path);
  std::size_t at = bytes.find(marker);
  if (at == std::string::npos) return false;
  bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
  return WriteWhole(path, bytes);
}

std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteWhole(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace ziptest
