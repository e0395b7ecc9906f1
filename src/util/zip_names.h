// Entry names of zip archives: decoding and the checks that keep an entry
// inside its target folder. Internal to the zip extraction; safe on any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// Longest entry name in bytes that is accepted; longer names fail their entry
// instead of being cut short.
inline constexpr std::size_t kMaxEntryNameBytes = 259;

// Decodes `size` raw name bytes: as UTF-8 when the entry's UTF-8 flag is set,
// in the legacy code page otherwise. None for invalid UTF-8 or a name that
// holds a zero byte.
std::optional<std::wstring> DecodeEntryName(const char* bytes, std::size_t size, bool utf8_flag);

// Strict UTF-8 to wide text (no overlong forms, no surrogates); none when the
// bytes are not valid UTF-8.
std::optional<std::wstring> DecodeUtf8(const char* bytes, std::size_t size);

// The name's levels, split at "/" and "\". A folder entry (name ending in a
// separator, or empty) ends in an empty level.
std::vector<std::wstring> SplitEntryName(const std::wstring& name);
