// Trusted-comment fields: sequence numbers and expiry times.
#include "update/trusted_comment.h"

#include <cstddef>

namespace {

constexpr char kSequenceField[] = "sequence";
constexpr char kExpiresField[] = "expires";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The number written by the digits of `text` from `at` on, `count` of them.
std::optional<int> ReadDigits(const std::string& text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (!IsDigit(text[i])) return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
std::int64_t DaysSinceEpoch(int year, int month, int day) {
  const int y = month <= 2 ? year - 1 : year;
  const int era = y / 400;  // years from 1970 on are never negative
  const int year_of_era = y - era * 400;
  const int day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return static_cast<std::int64_t>(era) * 146097 + day_of_era - 719468;
}

// Stores one field; false when it is malformed or already set.
bool TakeField(const std::string& name, const std::string& value, TrustedFields* fields,
               bool* has_sequence) {
  if (name == kSequenceField) {
    const std::optional<std::string> sequence = NormalizeSequence(value);
    if (*has_sequence || !sequence) return false;
    fields->sequence = *sequence;
    *has_sequence = true;
  } else if (name == kExpiresField) {
    const std::optional<std::int64_t> expires = ParseUtcTime(value);
    if (fields->expires || !expires) return false;
    fields->expires = expires;
  }
  return true;
}

}  // namespace

std::optional<TrustedFields> ReadTrustedComment(const std::string& text) {
  TrustedFields fields;
  bool has_sequence = false;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string field = text.substr(start, end - start);
    const std::size_t equals = field.find('=');
    if (equals != std::string::npos &&
        !TakeField(field.substr(0, equals), field.substr(equals + 1), &fields, &has_sequence)) {
      return std::nullopt;
    }
    start = end + 1;
  }
  if (!has_sequence) return std::nullopt;
  return fields;
}

std::optional<std::string> NormalizeSequence(const std::string& text) {
  if (text.empty()) return std::nullopt;
  for (const char c : text) {
    if (!IsDigit(c)) return std::nullopt;
  }
  const std::size_t first = text.find_first_not_of('0');
  if (first == std::string::npos) return std::string("0");
  if (text.size() - first > kMaxSequenceDigits) return std::nullopt;
  return text.substr(first);
}

int CompareSequences(const std::string& a, const std::string& b) {
  // Without leading zeros, the longer number is the larger one.
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  const int order = a.compare(b);
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

std::optional<std::int64_t> ParseUtcTime(const std::string& text) {
  // YYYY-MM-DDTHH:MM:SSZ
  if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':' || text[19] != 'Z') {
    return std::nullopt;
  }
  const auto year = ReadDigits(text, 0, 4), month = ReadDigits(text, 5, 2),
             day = ReadDigits(text, 8, 2), hour = ReadDigits(text, 11, 2),
             minute = ReadDigits(text, 14, 2), second = ReadDigits(text, 17, 2);
  if (!year || !month || !day || !hour || !minute || !second || *year < 1970 || *month < 1 ||
      *month > 12 || *day < 1 || *day > DaysInMonth(*year, *month) || *hour > 23 || *minute > 59 ||
      *second > 59) {
    return std::nullopt;
  }
  return DaysSinceEpoch(*year, *month, *day) * 86400 + *hour * 3600 + *minute * 60 + *second;
}
