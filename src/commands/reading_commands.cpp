#include "commands/reading_commands.h"

#include <algorithm>
#include <iterator>

#include "commands/command_host.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/process.h"
#include "shell/shared_values.h"
#include "util/relative_name.h"

namespace {

// What a character becomes inside a single-quoted script string literal,
// when it cannot stand there as itself.
struct ScriptEscape {
  wchar_t character;
  const wchar_t* text;
};
constexpr ScriptEscape kScriptEscapes[] = {
    {L'\\', L"\\\\"}, {L'\'', L"\\'"},         {L'\r', L"\\r"},
    {L'\n', L"\\n"},  {L'\u2028', L"\\u2028"}, {L'\u2029', L"\\u2029"},
};

// Escapes a value for a single-quoted script string literal, so that the
// page's string holds exactly the value: a folder with an apostrophe or a
// line break must not end the literal or the statement.
std::wstring EscapeForScriptString(const std::wstring& text) {
  std::wstring escaped;
  escaped.reserve(text.size() + 8);
  for (wchar_t c : text) {
    const ScriptEscape* found =
        std::find_if(std::begin(kScriptEscapes), std::end(kScriptEscapes),
                     [c](const ScriptEscape& e) { return e.character == c; });
    if (found != std::end(kScriptEscapes)) {
      escaped += found->text;
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::wstring WithPlatformSeparators(std::wstring path) {
  for (wchar_t& c : path) {
    if (IsNameSeparator(c)) c = platform::kPathSeparator;
  }
  return path;
}

// The id comes from the page. A key that cannot be a line of its own (a line
// break would write other lines and sections) or that the settings file
// trims into another book's key remembers nothing.
bool IsBookOwnKey(const std::wstring& key) {
  const bool trailing_blank = !key.empty() && (key.back() == L' ' || key.back() == L'\t');
  return platform::IsStorableProfileKey(key) && !trailing_blank;
}

void LeaveBookMode() {
  g_strBookKey.clear();
  g_bInBook = false;
}

}  // namespace

bool IsAllDigits(const std::wstring& text) {
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
  }
  return true;
}

std::wstring MainPageUrl() { return L"http://localhost:" + g_strPort + L"/000000/kvr_main.html"; }

void GoBook(CommandHost& host, const std::wstring& id) {
  g_bInBook = true;
  g_strBookKey = L"Product" + id;
  if (!IsBookOwnKey(g_strBookKey)) g_strBookKey.clear();
  host.EnterReadingMode();
}

void GoMainWin(CommandHost& host, const std::wstring& size) {
  host.EnterWindowedMode(size == L"max");
  LeaveBookMode();
}

void QuitBook(CommandHost& host) {
  host.EnterWindowedMode(false);
  host.Navigate(MainPageUrl());
  LeaveBookMode();
}

void MinWindow(CommandHost& host) { host.Minimise(); }

std::optional<std::wstring> ProductProgramPath(const std::wstring& folder) {
  if (!IsContainedName(folder)) return std::nullopt;
  const std::wstring separator(1, platform::kPathSeparator);
  return g_strAppDir + g_strDataDir + separator + WithPlatformSeparators(folder) + separator +
         kProductProgramName;
}

void StartOld(const std::wstring& folder) {
  if (std::optional<std::wstring> program = ProductProgramPath(folder)) {
    platform::ShellOpen(*program);
  }
}

void GetLesson(CommandHost& host) {
  if (g_strBookKey.empty()) return;
  const std::wstring page =
      platform::GetPrivateProfileString(kLessonSection, g_strBookKey, L"", g_strConfigPath);
  if (page.empty() || !IsAllDigits(page)) return;
  host.RunPageScript(L"SetFun('gotoPage','" + page + L"');");
}

void SaveLesson(const std::wstring& page) {
  if (!IsAllDigits(page)) return;
  if (g_strBookKey.empty()) return;
  platform::WritePrivateProfileString(kLessonSection, g_strBookKey, page, g_strConfigPath);
}

void ShowMsg(CommandHost& host, const std::wstring& kind, const std::wstring& text) {
  if (kind == L"1") {
    host.ShowMessage(text, CommandHost::MessageKind::kInformation);
  } else if (kind == L"2") {
    host.ShowMessage(text, CommandHost::MessageKind::kError);
  }
}

void GetBaseInfo(CommandHost& host) {
  const std::wstring content_folder = g_strAppDir + g_strDataDir + platform::kPathSeparator;
  host.RunPageScript(L"SetBaseInfo('" + EscapeForScriptString(content_folder) + L"','" +
                     EscapeForScriptString(g_strServerUrl) + L"','" +
                     EscapeForScriptString(g_strVersion) + L"');");
}

void ShowMe(CommandHost& host) { host.RunPageScript(L"ShowMe();"); }
