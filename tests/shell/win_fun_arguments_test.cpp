#include "shell/win_fun_arguments.h"

#include <gtest/gtest.h>

namespace {

using platform::ScriptValue;
using Kind = ScriptValue::Kind;

ScriptValue Value(Kind kind, std::wstring text = L"", bool boolean = false) {
  ScriptValue v;
  v.kind = kind;
  v.text = std::move(text);
  v.boolean = boolean;
  return v;
}

struct ConversionCase {
  ScriptValue value;
  const wchar_t* expected;
};

TEST(PageBridgeTest, ConvertsEachKindOfValueToText) {
  const ConversionCase cases[] = {
      {Value(Kind::kString, L"GoBook"), L"GoBook"},
      {Value(Kind::kString, std::wstring(L"ab\0cd", 5)), L"ab"},
      {Value(Kind::kString, L""), L""},
      {Value(Kind::kUndefined), L""},
      {Value(Kind::kNumber, L"12"), L"12"},
      {Value(Kind::kNumber, L"2.5"), L"2.5"},
      {Value(Kind::kBoolean, L"", true), L"-1"},
      {Value(Kind::kBoolean, L"", false), L"0"},
      {Value(Kind::kObject, L"1,2"), L"1,2"},
  };
  for (const ConversionCase& c : cases) {
    std::optional<WinFunArguments> texts = ConvertWinFunArguments({c.value});
    ASSERT_TRUE(texts.has_value());
    EXPECT_EQ((*texts)[0], c.expected);
  }
}

TEST(PageBridgeTest, MissingArgumentsBecomeEmptyText) {
  std::optional<WinFunArguments> texts =
      ConvertWinFunArguments({Value(Kind::kString, L"ShowMe"), Value(Kind::kNumber, L"7")});
  ASSERT_TRUE(texts.has_value());
  EXPECT_EQ(*texts, (WinFunArguments{L"ShowMe", L"7", L"", L"", L"", L""}));
  EXPECT_EQ(ConvertWinFunArguments({}), WinFunArguments{});
}

TEST(PageBridgeTest, NullAnywhereFailsTheWholeCall) {
  for (std::size_t at = 0; at < 6; ++at) {
    std::vector<ScriptValue> values(6, Value(Kind::kString, L"x"));
    values[at] = Value(Kind::kNull);
    EXPECT_FALSE(ConvertWinFunArguments(values).has_value()) << "null at " << at;
  }
}

TEST(PageBridgeTest, MoreThanSixArgumentsFail) {
  EXPECT_TRUE(ConvertWinFunArguments(std::vector<ScriptValue>(6)).has_value());
  EXPECT_FALSE(ConvertWinFunArguments(std::vector<ScriptValue>(7)).has_value());
}

}  // namespace
