// The strict UTF-8 decoding of flagged entry names: anything a lenient
// decoder would turn into "/" or "." must be refused.
#include "util/zip_names.h"

#include <gtest/gtest.h>

#include <cstring>

#include "wide_text.h"

namespace {

struct Utf8Case {
  const char* bytes;
  std::optional<std::wstring> expected;
};

TEST(ZipNamesTest, DecodesOnlyValidUtf8) {
  const Utf8Case cases[] = {
      {"plain/a.txt", L"plain/a.txt"},
      {"\xC3\xA9", L"\u00E9"},
      {"\xE4\xB8\xAD", L"\u4E2D"},
      {"\xF0\x9F\x93\x96", WideCodePoint(0x1F4D6)},
      {"\xC0\xAF", std::nullopt},          // overlong "/"
      {"\xE0\x80\xAE", std::nullopt},      // overlong "."
      {"\xED\xA0\x80", std::nullopt},      // surrogate
      {"\xF4\x90\x80\x80", std::nullopt},  // beyond U+10FFFF
      {"\xE4\xB8", std::nullopt},          // cut short
      {"\x80", std::nullopt},              // lone continuation byte
      {"\xE4\x41\xAD", std::nullopt},      // ASCII inside a sequence
  };
  for (const Utf8Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(DecodeUtf8(c.bytes, std::strlen(c.bytes)), c.expected);
  }
}

TEST(ZipNamesTest, SplitsAtEitherSeparator) {
  EXPECT_EQ(SplitEntryName(L"a\\b/c"), (std::vector<std::wstring>{L"a", L"b", L"c"}));
  EXPECT_EQ(SplitEntryName(L"a/"), (std::vector<std::wstring>{L"a", L""}));
  EXPECT_EQ(SplitEntryName(L""), (std::vector<std::wstring>{L""}));
}

}  // namespace
