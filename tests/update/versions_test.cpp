// Version comparison and the lenient number reading of manifest values.
#include "update/versions.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct VersionCase {
  const wchar_t* a;
  const wchar_t* b;
  int expected;
};

class CompareVersionsTest : public testing::TestWithParam<VersionCase> {};

TEST_P(CompareVersionsTest, ComparesFirstFourFieldsAsNumbers) {
  const VersionCase& c = GetParam();
  EXPECT_EQ(CompareVersions(c.a, c.b), c.expected) << c.a << " vs " << c.b;
  EXPECT_EQ(CompareVersions(c.b, c.a), -c.expected) << c.b << " vs " << c.a;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompareVersionsTest,
    testing::Values(VersionCase{L"1.10", L"1.9", 1},             // numbers, not text
                    VersionCase{L"1.2", L"1.2.0.0", 0},          // missing fields are 0
                    VersionCase{L"", L"0.0.0.0", 0},             // empty is all zeros
                    VersionCase{L"2", L"1.9.9.9", 1},            // first field decides
                    VersionCase{L"1.2.3.4.5", L"1.2.3.4.6", 0},  // fifth field ignored
                    VersionCase{L"1..3", L"1.0.3", 0},           // empty field is 0
                    VersionCase{L"1.7b", L"1.7", 0},             // digits up to the text
                    VersionCase{L"1.abc", L"1.0", 0},            // letters are 0
                    VersionCase{L"1.0.0.0", L"1.0.0.1", -1},     // last counted field
                    VersionCase{L" 3", L"3", 0},                 // leading white space
                    VersionCase{L"-1", L"0", -1},                // a sign is read
                    VersionCase{L"1.0.99999999999", L"1.0.2147483647", 0}));  // saturates

TEST(ReadLeadingInt64Test, ReadsLikeAtol) {
  EXPECT_EQ(ReadLeadingInt64("1234"), 1234);
  EXPECT_EQ(ReadLeadingInt64("  \t+56xyz"), 56);
  EXPECT_EQ(ReadLeadingInt64("-7"), -7);
  EXPECT_EQ(ReadLeadingInt64("abc"), 0);
  EXPECT_EQ(ReadLeadingInt64(""), 0);
  EXPECT_EQ(ReadLeadingInt64("- 5"), 0);
  EXPECT_EQ(ReadLeadingInt64("5000000000"), 5000000000LL);  // beyond 32 bits
  EXPECT_EQ(ReadLeadingInt64("99999999999999999999"), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(ReadLeadingInt64("-99999999999999999999"), std::numeric_limits<std::int64_t>::min());
}

}  // namespace
