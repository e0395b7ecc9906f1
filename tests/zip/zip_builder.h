// Builds real zip archives for the tests with minizip, including damaged and
// hostile ones made by patching the bytes of a good archive.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace ziptest {

struct EntryTime {
  int year = 2021, month = 3, day = 4, hour = 5, minute = 6, second = 8;
};

struct Entry {
  Entry(std::string entry_name, std::string entry_data = {})
      : name(std::move(entry_name)), data(std::move(entry_data)) {}

  std::string name;  // raw name bytes as stored in the archive
  std::string data;
  bool utf8_flag = false;
  bool stored = false;  // method 0 instead of deflate
  EntryTime time;
};

// Writes an archive holding `entries` in this order. False on failure.
bool WriteZip(const std::filesystem::path& path, const std::vector<Entry>& entries);

// Writes a stored entry whose recorded CRC-32 does not match its data.
bool WriteZipWithWrongCrc(const std::filesystem::path& path, const std::string& name,
                          const std::string& data);

// Writes one deflated entry of `mebibytes` MiB of zero bytes without holding
// it in memory (the compressed stream is a repeated block).
bool WriteZerosZip(const std::filesystem::path& path, const std::string& name, int mebibytes);

// Patches every local and central header of the archive: the compression
// method, or extra general-purpose flag bits.
bool PatchMethod(const std::filesystem::path& path, std::uint16_t method);
bool AddFlagBits(const std::filesystem::path& path, std::uint16_t bits);
// Flips the first byte of the first occurrence of `marker` in the file.
bool FlipByteAt(const std::filesystem::path& path, const std::string& marker);

std::string ReadWhole(const std::filesystem::path& path);
bool WriteWhole(const std::filesystem::path& path, const std::string& bytes);

}  // namespace ziptest
