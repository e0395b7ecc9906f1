// MD5 digests (RFC 1321) as 32 lower-case hexadecimal characters. Every call
// has a context of its own, so digests on many threads at once are correct.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Digest of the bytes of `text` up to its first zero byte.
std::string MD5String(const char* text);
std::string MD5String(const std::string& text);
// Digest of a file's bytes, read 1024 bytes at a time in constant memory.
// `fs_name` is the file-system name (UTF-8). No result when it cannot be opened.
std::optional<std::string> MD5File(const std::string& fs_name);
// Hexadecimal form of 16 digest bytes.
std::string MD5ToHex(const std::uint8_t digest[16]);
