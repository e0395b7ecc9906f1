// Code-page conversions and request-path decoding.
#include "util/text.h"

#include <gtest/gtest.h>

#include <string>

#include "per_platform.h"

namespace {

const std::string kZhongGbk = "\xD6\xD0";  // U+4E2D in the legacy code page

struct DecodeCase {
  const char* name;
  std::string raw;
  std::string decoded;
};
void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }

class UrlDecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(UrlDecodeTest, DecodesBytes) { EXPECT_EQ(UrlDecode(GetParam().raw), GetParam().decoded); }

INSTANTIATE_TEST_SUITE_P(
    Cases, UrlDecodeTest,
    ::testing::Values(
        DecodeCase{"PlusIsSpace", "/a+b", "/a b"}, DecodeCase{"Percent20IsSpace", "/a%20b", "/a b"},
        DecodeCase{"LowerCaseHex", "%7e", "~"}, DecodeCase{"UpperCaseHex", "%7E", "~"},
        DecodeCase{"LetterA", "%41", "A"}, DecodeCase{"TwoNonDigits", "%zz", "\xFF"},
        DecodeCase{"NonDigitThenDigit", "%z1", "\xF1"},
        DecodeCase{"DigitThenNonDigit", "%1z", "\xFF"},
        DecodeCase{"ZeroEscapeKept", "a%00b", std::string("a\0b", 3)},
        DecodeCase{"TrailingPercent", "ab%", "ab\xFF"},
        DecodeCase{"TrailingPercentDigit", "ab%4", "ab\xFF"},
        DecodeCase{"PercentSwallowsTwoBytes", "%%41",
                   "\xF4"
                   "1"},
        DecodeCase{"PlainPathUnchanged", "/000000/kvr_entrance.html", "/000000/kvr_entrance.html"},
        DecodeCase{"Empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

class UrlDecodeUtf8Test : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(UrlDecodeUtf8Test, GivesCodePageBytes) {
  EXPECT_EQ(UrlDecodeUtf8(GetParam().raw), GetParam().decoded);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UrlDecodeUtf8Test,
    ::testing::Values(
        DecodeCase{"ChineseCharacter", "/a%E4%B8%ADb.html", "/a" + kZhongGbk + "b.html"},
        DecodeCase{"RawUtf8Bytes", "/\xE4\xB8\xAD", "/" + kZhongGbk},
        DecodeCase{"EndsAtZeroEscape", "/ab%00cd", "/ab"},
        DecodeCase{"AsciiUnchanged", "/dir/file+1.js", "/dir/file 1.js"},
        // A one-byte conversion keeps the buffer's second byte from the group before.
        DecodeCase{"OneByteResultKeepsOldSecondByte", "%E4%B8%AD%E2%82%AC", kZhongGbk + "\x80\xD0"},
        // Unrepresentable code unit: "?" plus the zero still in the fresh buffer, which ends the
        // text.
        DecodeCase{"UnrepresentableEndsText", "a%EF%BF%BFb", "a?"},
        // Lead byte at the end: the missing bytes read as zero (U+D000 has no code-page form).
        DecodeCase{"TruncatedGroup", "x%ED", "x?"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Utf8ToAnsiTest, PureAsciiUnchanged) {
  const std::string ascii = "/000000/kvr_entrance.html?x=1";
  EXPECT_EQ(Utf8ToAnsi(ascii.data(), ascii.size()), ascii);
}

TEST(Utf8ToAnsiTest, ReadsOnlyCountBytes) {
  const char bytes[] = "ab\xE4\xB8\xAD";
  EXPECT_EQ(Utf8ToAnsi(bytes, 2), "ab");
  EXPECT_EQ(Utf8ToAnsi(bytes, 5), "ab" + kZhongGbk);
}

TEST(CodePageTest, WideToAnsiConvertsChinese) {
  EXPECT_EQ(WideToAnsi(L"\\000000\\\x4E2D.html"), "\\000000\\" + kZhongGbk + ".html");
}

TEST(CodePageTest, WideToAnsiOfCharacterOutsideGbkIsQuestionMark) {
  EXPECT_EQ(WideToAnsi(L"a\x1F600"
                       L"b"),
            "a?b");
  EXPECT_EQ(WideToAnsi(L"\xAC00"), "?");  // Hangul syllable, not in GBK
}

TEST(CodePageTest, EmptyStringsStayEmpty) {
  EXPECT_EQ(WideToAnsi(L""), "");
  EXPECT_EQ(AnsiToWide(""), L"");
}

TEST(CodePageTest, ConversionsRoundTrip) {
  const std::wstring text = L"\x4E2D\x6587 text 123 \x00B7";
  EXPECT_EQ(AnsiToWide(WideToAnsi(text)), text);
}

TEST(CodePageTest, StopsAtFirstZero) {
  EXPECT_EQ(WideToAnsi(std::wstring(L"ab\0cd", 5)), "ab");
  EXPECT_EQ(AnsiToWide(std::string("ab\0cd", 5)), L"ab");
}

TEST(CodePageTest, NullArgumentFailsAssertionAndYieldsEmpty) {
  std::string narrow = "unchanged";
  std::wstring wide = L"unchanged";
  EXPECT_DEBUG_DEATH(narrow = WideToAnsi(static_cast<const wchar_t*>(nullptr)), "pwszText");
  EXPECT_DEBUG_DEATH(wide = AnsiToWide(static_cast<const char*>(nullptr)), "pszText");
#ifdef NDEBUG
  EXPECT_EQ(narrow, "");
  EXPECT_EQ(wide, L"");
#endif
}

TEST(FsNameTest, Utf8AndSeparators) {
  const PerPlatform<std::string> fs_name{"dir/\xE4\xB8\xAD.txt", "dir\\\xE4\xB8\xAD.txt"};
  EXPECT_EQ(WideToFsName(L"dir\\\x4E2D.txt"), fs_name.Here());
  EXPECT_EQ(FsNameToWide("dir/\xE4\xB8\xAD.txt"), L"dir/\x4E2D.txt");
}

}  // namespace
