// Temporary file names of the writers that clean up after ended processes.
#include "platform/stale_files.h"

#include <climits>

namespace platform {
namespace {

// Reads a decimal number without leading zeros at `at`; advances `at`.
std::optional<long> ReadNumber(const std::string& text, std::size_t& at) {
  const std::size_t start = at;
  long value = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 10) {
    value = value * 10 + (text[at] - '0');
    ++at;
  }
  if (at == start || (text[start] == '0' && at - start > 1) || value > INT_MAX) return std::nullopt;
  return value;
}

bool ReadText(const std::string& text, std::size_t& at, const std::string& expected) {
  if (text.compare(at, expected.size(), expected) != 0) return false;
  at += expected.size();
  return true;
}

}  // namespace

std::optional<long> TempNameOwner(const std::string& leaf, const TempNamePattern& pattern) {
  std::size_t at = 0;
  if (!ReadText(leaf, at, pattern.prefix)) return std::nullopt;
  const std::optional<long> pid = ReadNumber(leaf, at);
  if (!pid || !ReadText(leaf, at, pattern.separator) || !ReadNumber(leaf, at)) return std::nullopt;
  if (!ReadText(leaf, at, pattern.suffix) || at != leaf.size()) return std::nullopt;
  return pid;
}

}  // namespace platform
