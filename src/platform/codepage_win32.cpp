// Legacy code-page conversions over MultiByteToWideChar/WideCharToMultiByte,
// with the results the iconv version gives: one "?" for each character the
// code page cannot hold (a surrogate pair is one character), one U+FFFD for
// each byte that starts no valid character.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/codepage.h"

namespace platform {
namespace {

constexpr const char* kDefaultCodePage = "CP936";
constexpr UINT kDefaultCodePageNumber = 936;
constexpr UINT kUtf8 = 65001;
constexpr UINT kGb18030 = 54936;
// The longest character of any code page that the system converts (GB18030).
constexpr int kLongestCharacter = 4;

struct CodePageAlias {
  const char* name;
  UINT number;
};
constexpr CodePageAlias kAliases[] = {
    {"GBK", 936},       {"GB2312", 936},        {"GB18030", 54936},    {"BIG5", 950},
    {"SHIFT_JIS", 932}, {"SJIS", 932},          {"EUC-KR", 949},       {"UTF-8", kUtf8},
    {"UTF8", kUtf8},    {"WINDOWS-1252", 1252}, {"ISO-8859-1", 28591},
};

// The code page number of a name: an alias above, "CPnnn" or "WINDOWS-nnn"; 0
// when it names none that the system has.
UINT CodePageNumber(const char* name) {
  for (const CodePageAlias& alias : kAliases) {
    if (_stricmp(name, alias.name) == 0) return alias.number;
  }
  const char* digits = nullptr;
  if (_strnicmp(name, "CP", 2) == 0) digits = name + 2;
  if (_strnicmp(name, "WINDOWS-", 8) == 0) digits = name + 8;
  if (digits == nullptr || *digits < '1' || *digits > '9' || std::strlen(digits) > 5) return 0;
  char* end = nullptr;
  const unsigned long number = std::strtoul(digits, &end, 10);
  if (*end != '\0' || IsValidCodePage(static_cast<UINT>(number)) == FALSE) return 0;
  return static_cast<UINT>(number);
}

struct ChosenCodePage {
  std::string name;
  UINT number;
};

ChosenCodePage ChooseCodePage() {
  const char* env = std::getenv("QUILLORY_CODEPAGE");
  if (env != nullptr && *env != '\0') {
    const UINT number = CodePageNumber(env);
    if (number != 0) return {env, number};
  }
  return {kDefaultCodePage, kDefaultCodePageNumber};
}

const ChosenCodePage& Chosen() {
  // Chosen once; the environment is read before any worker thread exists.
  static const ChosenCodePage chosen = ChooseCodePage();
  return chosen;
}

// The code pages that hold characters beyond the Basic Multilingual Plane.
bool HoldsEveryCharacter(UINT code_page) { return code_page == kUtf8 || code_page == kGb18030; }

bool IsSurrogatePair(const std::wstring& text, std::size_t i) {
  return text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
         text[i + 1] <= 0xDFFF;
}

// Converts a piece without surrogate pairs (or any piece, for a code page
// that holds every character); unrepresentable characters become '?'.
void AppendNarrow(UINT code_page, const wchar_t* text, int length, std::string& out) {
  if (length <= 0) return;
  // The code pages that hold every character take no default character.
  const bool full = HoldsEveryCharacter(code_page);
  const DWORD flags = full ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* fallback = full ? nullptr : "?";
  const int size =
      WideCharToMultiByte(code_page, flags, text, length, nullptr, 0, fallback, nullptr);
  if (size <= 0) return;
  const std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(size));
  WideCharToMultiByte(code_page, flags, text, length, &out[at], size, fallback, nullptr);
}

// Converts `length` bytes when they are valid; false otherwise.
bool AppendWide(UINT code_page, const char* bytes, int length, std::wstring& out) {
  const int size = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes, length, nullptr, 0);
  if (size <= 0) return false;
  const std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(size));
  MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes, length, &out[at], size);
  return true;
}

// Input with invalid bytes: character by character, the shortest valid one
// at each place, else U+FFFD for one byte.
std::wstring DecodeByCharacter(UINT code_page, const std::string& bytes) {
  std::wstring out;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    int length = 1;
    const int most = static_cast<int>(std::min<std::size_t>(kLongestCharacter, bytes.size() - pos));
    while (length <= most && !AppendWide(code_page, bytes.data() + pos, length, out)) ++length;
    if (length > most) {
      out += static_cast<wchar_t>(0xFFFD);
      length = 1;
    }
    pos += static_cast<std::size_t>(length);
  }
  return out;
}

}  // namespace

const char* LegacyCodePage() { return Chosen().name.c_str(); }

std::string WideToCodePage(const std::wstring& text) {
  const UINT code_page = Chosen().number;
  std::string out;
  if (text.size() > 0x7FFFFFFF / kLongestCharacter) return out;
  if (HoldsEveryCharacter(code_page)) {
    AppendNarrow(code_page, text.data(), static_cast<int>(text.size()), out);
    return out;
  }
  // The system would give a "?" for each half of a pair.
  std::size_t piece = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!IsSurrogatePair(text, i)) continue;
    AppendNarrow(code_page, text.data() + piece, static_cast<int>(i - piece), out);
    out += '?';
    piece = ++i + 1;
  }
  AppendNarrow(code_page, text.data() + piece, static_cast<int>(text.size() - piece), out);
  return out;
}

std::wstring CodePageToWide(const std::string& bytes) {
  const UINT code_page = Chosen().number;
  std::wstring out;
  if (bytes.empty() || bytes.size() > 0x7FFFFFFF) return out;
  if (AppendWide(code_page, bytes.data(), static_cast<int>(bytes.size()), out)) return out;
  return DecodeByCharacter(code_page, bytes);
}

}  // namespace platform
