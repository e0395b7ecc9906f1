// The pages the bridge answers and the argument conversion of their calls.
#include "shell/win_fun_arguments.h"

namespace {

using Kind = platform::ScriptValue::Kind;

std::optional<std::wstring> ConvertOne(const platform::ScriptValue& value) {
  switch (value.kind) {
    case Kind::kNull:
      return std::nullopt;
    case Kind::kUndefined:
      return std::wstring();
    case Kind::kBoolean:
      return std::wstring(value.boolean ? L"-1" : L"0");
    default:
      return value.text.substr(0, value.text.find(L'\0'));
  }
}

}  // namespace

std::optional<WinFunArguments> ConvertWinFunArguments(
    const std::vector<platform::ScriptValue>& values) {
  WinFunArguments texts;
  if (values.size() > texts.size()) return std::nullopt;
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::optional<std::wstring> text = ConvertOne(values[i]);
    if (!text) return std::nullopt;
    texts[i] = std::move(*text);
  }
  return texts;
}

std::vector<std::wstring> ShellPageOrigins(const std::wstring& port) {
  if (port.empty()) return {};
  return {L"http://localhost:" + port, L"http://127.0.0.1:" + port};
}
