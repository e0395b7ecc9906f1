// The trusted comment's fields, and what a recorded UpdateSequence lets through.
#include "update/trusted_comment.h"

#include <gtest/gtest.h>

#include "update/minisign_sign.h"
#include "update/signed_manifest.h"

namespace {

struct CommentCase {
  std::string text;
  const char* sequence;  // nullptr: refused
};

class TrustedCommentTest : public testing::TestWithParam<CommentCase> {};

TEST_P(TrustedCommentTest, ReadsSequenceOrRefuses) {
  const std::optional<TrustedFields> fields = ReadTrustedComment(GetParam().text);
  ASSERT_EQ(fields.has_value(), GetParam().sequence != nullptr);
  if (fields) {
    EXPECT_EQ(fields->sequence, GetParam().sequence);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TrustedCommentTest,
    testing::Values(CommentCase{"sequence=5", "5"},
                    CommentCase{"expires=2999-01-01T00:00:00Z sequence=007 note=x", "7"},
                    CommentCase{"  sequence=0  other", "0"},
                    CommentCase{"timestamp:1\tfile:update.xml", nullptr},
                    CommentCase{"sequence=", nullptr}, CommentCase{"sequence=+1", nullptr},
                    CommentCase{"sequence=1 sequence=2", nullptr},
                    CommentCase{"sequence=1\texpires=2999-01-01T00:00:00Z", nullptr},
                    CommentCase{"sequence=5 expires=2020-13-01T00:00:00Z", nullptr},
                    CommentCase{"sequence=1" + std::string(kMaxSequenceDigits, '0'), nullptr}));

struct TimeCase {
  const char* text;
  std::int64_t seconds;  // -1: refused
};

class UtcTimeTest : public testing::TestWithParam<TimeCase> {};

TEST_P(UtcTimeTest, ReadsExactFormOnly) {
  EXPECT_EQ(ParseUtcTime(GetParam().text).value_or(-1), GetParam().seconds);
}

INSTANTIATE_TEST_SUITE_P(Times, UtcTimeTest,
                         testing::Values(TimeCase{"1970-01-01T00:00:00Z", 0},
                                         TimeCase{"2000-02-29T12:34:56Z", 951827696},
                                         TimeCase{"2100-03-01T00:00:00Z", 4107542400},
                                         TimeCase{"9999-12-31T23:59:59Z", 253402300799},
                                         TimeCase{"2100-02-29T00:00:00Z", -1},
                                         TimeCase{"2000-04-31T00:00:00Z", -1},
                                         TimeCase{"2000-01-01T24:00:00Z", -1},
                                         TimeCase{"1969-12-31T23:59:59Z", -1},
                                         TimeCase{"+200-01-01T00:00:00Z", -1}));

struct RecordedCase {
  std::wstring recorded;
  const char* sequence;
  bool accepted;
};

void PrintTo(const RecordedCase& c, std::ostream* out) {
  *out << c.recorded.size() << " characters recorded, signed " << c.sequence;
}

class RecordedSequenceTest : public testing::TestWithParam<RecordedCase> {};

TEST_P(RecordedSequenceTest, ComparesAsNumbersOfAnyLength) {
  const MinisignSecretKey key = GenerateMinisignKey().value();
  const UpdateTrust trust{true, {PublicKeyOf(key)}};
  const std::string signature =
      SignMinisign("<u/>", key, std::string("sequence=") + GetParam().sequence).value();
  std::string sequence;
  EXPECT_EQ(AcceptSignedManifest("<u/>", signature, trust, GetParam().recorded, 0, &sequence).ok(),
            GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Values, RecordedSequenceTest,
    testing::Values(RecordedCase{L"", "1", true}, RecordedCase{L"9", "10", true},
                    RecordedCase{L"10", "9", false}, RecordedCase{L"0010", "10", true},
                    RecordedCase{L"99999999999999999999999", "100000000000000000000000", true},
                    RecordedCase{L"100000000000000000000000", "99999999999999999999999", false},
                    RecordedCase{L"-1", "5", false},
                    RecordedCase{std::wstring(999, L'0'), "5", false}));

}  // namespace
