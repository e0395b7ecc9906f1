// The settings file: arbitrary contents, then a read and a write.
//
// Input: one control byte (which section and key names, and which value, are
// used), then the file's bytes.
// Invariants:
// - a value with a line break is refused and the file stays as it was;
// - any other write succeeds and the value reads back;
// - every other byte of the file survives: the old and the new file differ
//   only in one stretch, the old stretch (the old value) holds no line break,
//   and the new stretch is no longer than a new section and key line;
// - a key other than the one written, with an ASCII value, reads the same
//   before and after.
#include <cstddef>
#include <cstdint>
#include <cwctype>
#include <string>

#include "fuzz_folder.h"
#include "platform/ini.h"
#include "util/text.h"

namespace {

const wchar_t* const kSections[] = {L"Base", L"BASE", L"Product", L"base ", L"Empty"};
const wchar_t* const kKeys[] = {L"LastUpdate", L"Product7", L"lastupdate", L"Key", L"Product"};
const wchar_t* const kValues[] = {L"2.0.0.0", L"17", L"", L"0.0.0.0", L"x=y;z", L"1\n[Base]"};
constexpr unsigned kValueCount = sizeof(kValues) / sizeof(kValues[0]);

std::string Narrow(const std::wstring& w) { return WideToFsName(w); }

bool IsAscii(const std::wstring& text) {
  for (wchar_t c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

bool SameName(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (towlower(a[i]) != towlower(b[i])) return false;
  }
  return true;
}

// Checks that `after` is `before` with one stretch replaced, and that the
// replaced stretch of `before` lies within one line.
void CheckOneStretchChanged(const std::string& before, const std::string& after,
                            const std::string& value) {
  std::size_t prefix = 0;
  while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) {
    ++prefix;
  }
  std::size_t suffix = 0;
  while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
         before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
    ++suffix;
  }
  const std::string removed = before.substr(prefix, before.size() - prefix - suffix);
  const std::string added = after.substr(prefix, after.size() - prefix - suffix);
  if (removed.find('\n') != std::string::npos) {
    fuzz::Fail("bytes beyond the value's line were lost", removed);
  }
  // The new stretch is at most a new key line and a new section header.
  const std::size_t room = value.size() + 64;
  if (added.size() > room) fuzz::Fail("the write added more than the key's line", added);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const std::string path = fuzz::ScratchFolder() + "/config.ini";
  static const std::wstring wpath = FsNameToWide(path);
  const unsigned control = data[0];
  const std::wstring section = kSections[control % 5];
  const std::wstring key = kKeys[(control / 5) % 5];
  const std::wstring value = kValues[(control / 25) % kValueCount];
  const std::wstring other_key = kKeys[(control / 5 + 1) % 5];
  const std::string before(reinterpret_cast<const char*>(data + 1), size - 1);
  fuzz::WriteFileOrDie(path, before);

  const std::wstring other_before =
      platform::GetPrivateProfileString(section, other_key, L"<none>", wpath);
  (void)platform::GetPrivateProfileString(section, key, L"<none>", wpath);
  const bool written = platform::WritePrivateProfileString(section, key, value, wpath);
  const std::string after = fuzz::ReadFileOrEmpty(path);
  if (value.find(L'\n') != std::wstring::npos) {
    if (written || after != before) fuzz::Fail("a value with a line break was written", after);
    return 0;
  }
  if (!written) fuzz::Fail("write failed", before);
  const std::wstring read_back = platform::GetPrivateProfileString(section, key, L"<none>", wpath);
  if (read_back != value) {
    fuzz::Fail("value does not read back", Narrow(read_back) + " from:\n" + after);
  }
  // Non-ASCII values are left out: the file is read as UTF-8 when all of it
  // is valid UTF-8, else in the code page, so a write that replaces the only
  // invalid bytes changes how other non-ASCII values read (bytes unchanged).
  if (!SameName(other_key, key) && IsAscii(other_before) &&
      platform::GetPrivateProfileString(section, other_key, L"<none>", wpath) != other_before) {
    fuzz::Fail("another key changed", Narrow(other_key));
  }
  CheckOneStretchChanged(before, after, Narrow(value));
  return 0;
}
