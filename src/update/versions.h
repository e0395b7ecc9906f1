// Dotted version strings ("a.b.c.d") and the lenient number reading that the
// update manifest relies on. Pure functions, safe on any thread.
#pragma once

#include <cstdint>
#include <string>

// Compares the first four dot-separated fields of `a` and `b` as numbers.
// Returns -1 when a is older, 1 when a is newer, 0 when they count as equal.
// A missing, empty or non-numeric field counts as 0; fields after the fourth
// never count. Never fails.
int CompareVersions(const std::wstring& a, const std::wstring& b);

// Reads a number the way the C library's decimal conversions do: leading
// white space, an optional sign, decimal digits, stopping at the first other
// character; no digits give 0. Values beyond the range saturate.
int ReadLeadingInt(const std::wstring& text);
std::int64_t ReadLeadingInt64(const std::string& text);
