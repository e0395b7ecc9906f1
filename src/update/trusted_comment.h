// The fields of a signed manifest's trusted comment, against rollback and
// freeze: space-separated name=value fields in any order, "sequence=N"
// (decimal, required) and "expires=YYYY-MM-DDTHH:MM:SSZ" (UTC, optional);
// other fields are ignored. Pure functions; safe on any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

struct TrustedFields {
  std::string sequence;                 // decimal digits without leading zeros ("0" for zero)
  std::optional<std::int64_t> expires;  // seconds since 1970-01-01T00:00:00Z
};

// No result when `sequence` is missing, either field is malformed or a field
// appears twice (which of the two would count is not the publisher's to leave open).
std::optional<TrustedFields> ReadTrustedComment(const std::string& text);

// Most digits a sequence may have once its leading zeros are gone: far more
// than releases will ever need, and short enough to be recorded and read back
// whole.
inline constexpr std::size_t kMaxSequenceDigits = 100;

// `text` when it is one or more decimal digits, without its leading zeros;
// no result otherwise or when more than kMaxSequenceDigits remain. Numbers
// are kept as text, so they never overflow.
std::optional<std::string> NormalizeSequence(const std::string& text);
// Compares two normalised sequences as numbers: -1, 0 or 1.
int CompareSequences(const std::string& a, const std::string& b);

// Seconds since the epoch of "YYYY-MM-DDTHH:MM:SSZ" (a real date and time of
// the years 1970 to 9999); no result for anything else.
std::optional<std::int64_t> ParseUtcTime(const std::string& text);
