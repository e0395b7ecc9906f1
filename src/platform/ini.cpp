// Private-profile settings files: the reading and editing of their text,
// the same on every platform. The file is read whole on every call; a write
// hands the edited text to the platform, which replaces the file atomically
// (ini_file.h). One process-wide mutex serialises all calls.
#include "platform/ini.h"

#include <cwctype>
#include <mutex>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/ini_file.h"
#include "platform/utf8.h"

namespace platform {
namespace {

std::mutex g_profile_mutex;

// One line of the file: [begin, end) is its text without the line ending,
// `next` the offset of the following line.
struct Line {
  std::size_t begin;
  std::size_t end;
  std::size_t next;
};

// What a lookup found for one section and key.
struct Location {
  bool section_found = false;
  std::size_t insert_at = 0;      // after the section's last non-blank line
  bool insert_needs_eol = false;  // that line is the unterminated end of the file
  bool key_found = false;
  std::size_t value_begin = 0;  // bytes after "=" up to the line ending
  std::size_t value_end = 0;
};

// A settings file as bytes, with the text encoding its bytes are in: UTF-8
// when they are valid UTF-8, else the legacy code page.
class ProfileText {
 public:
  explicit ProfileText(std::string bytes) : m_bytes(std::move(bytes)) {
    bool valid = true;
    Utf8Decode(m_bytes, &valid);
    m_utf8 = valid;
    SplitLines();
  }

  const std::string& Bytes() const { return m_bytes; }
  std::wstring Decode(std::size_t begin, std::size_t end) const {
    const std::string part = m_bytes.substr(begin, end - begin);
    return m_utf8 ? Utf8Decode(part) : CodePageToWide(part);
  }
  std::string Encode(const std::wstring& text) const {
    return m_utf8 ? Utf8Encode(text) : WideToCodePage(text);
  }
  // The file's line ending; `fallback` when it has none yet.
  std::string LineEnding(const char* fallback) const;
  Location Find(const std::wstring& section, const std::wstring& key) const;

 private:
  void SplitLines();
  bool IsBlank(const Line& line) const;
  void MarkInsertPoint(const Line& line, Location& found) const;
  // Section name of a header line, or false when the line is not one.
  bool SectionName(const Line& line, std::wstring& name) const;

  std::string m_bytes;
  bool m_utf8 = true;
  std::size_t m_text_start = 0;  // after a UTF-8 byte-order mark
  std::vector<Line> m_lines;
};

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

std::wstring Trim(const std::wstring& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool SameName(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) {
      return false;
    }
  }
  return true;
}

void ProfileText::SplitLines() {
  // The mark is skipped whichever encoding the rest is read in: read as
  // code-page bytes its last byte would swallow the "[" of a first section
  // header, and a write that makes the file valid UTF-8 would then bring that
  // section back, hiding the value just written behind it.
  if (m_bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) m_text_start = 3;
  std::size_t pos = m_text_start;
  while (pos < m_bytes.size()) {
    std::size_t newline = m_bytes.find('\n', pos);
    std::size_t next = newline == std::string::npos ? m_bytes.size() : newline + 1;
    std::size_t end = newline == std::string::npos ? m_bytes.size() : newline;
    if (end > pos && m_bytes[end - 1] == '\r') --end;
    m_lines.push_back({pos, end, next});
    pos = next;
  }
}

std::string ProfileText::LineEnding(const char* fallback) const {
  std::size_t newline = m_bytes.find('\n');
  if (newline == std::string::npos) return fallback;
  return newline > 0 && m_bytes[newline - 1] == '\r' ? "\r\n" : "\n";
}

bool ProfileText::IsBlank(const Line& line) const {
  return Trim(Decode(line.begin, line.end)).empty();
}

bool ProfileText::SectionName(const Line& line, std::wstring& name) const {
  const std::wstring text = Trim(Decode(line.begin, line.end));
  if (text.empty() || text[0] != L'[') return false;
  const std::size_t close = text.find(L']');
  name = Trim(text.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1));
  return true;
}

void ProfileText::MarkInsertPoint(const Line& line, Location& found) const {
  found.insert_at = line.next;
  found.insert_needs_eol = line.next == line.begin || m_bytes[line.next - 1] != '\n';
}

Location ProfileText::Find(const std::wstring& section, const std::wstring& key) const {
  Location found;
  bool inside = false;
  for (const Line& line : m_lines) {
    std::wstring name;
    if (SectionName(line, name)) {
      if (found.section_found) break;  // the first matching section wins
      inside = SameName(name, section);
      if (inside) {
        found.section_found = true;
        MarkInsertPoint(line, found);
      }
      continue;
    }
    if (!inside) continue;
    if (!IsBlank(line)) MarkInsertPoint(line, found);
    const std::size_t equals = m_bytes.find('=', line.begin);
    if (found.key_found || equals == std::string::npos || equals >= line.end) continue;
    if (SameName(Trim(Decode(line.begin, equals)), key)) {
      found.key_found = true;
      found.value_begin = equals + 1;
      found.value_end = line.end;
    }
  }
  return found;
}

// The bytes of `text` after writing `key` = `value` into `section`.
std::string WithValue(const ProfileText& text, const std::wstring& section, const std::wstring& key,
                      const std::wstring& value, const char* new_line) {
  const std::string& bytes = text.Bytes();
  const Location at = text.Find(section, key);
  if (at.key_found) {
    return bytes.substr(0, at.value_begin) + text.Encode(value) + bytes.substr(at.value_end);
  }
  const std::string eol = text.LineEnding(new_line);
  const std::string key_line = text.Encode(key) + "=" + text.Encode(value) + eol;
  if (at.section_found) {
    const std::string prefix = at.insert_needs_eol ? eol : std::string();
    return bytes.substr(0, at.insert_at) + prefix + key_line + bytes.substr(at.insert_at);
  }
  std::string out = bytes;
  if (!out.empty() && out.back() != '\n') out += eol;
  return out + "[" + text.Encode(section) + "]" + eol + key_line;
}

std::wstring Truncated(std::wstring text) {
  if (text.size() > kProfileReadBuffer - 1) text.resize(kProfileReadBuffer - 1);
  return text;
}

bool IsSingleLine(const std::wstring& text) {
  return text.find_first_of(std::wstring(L"\r\n\0", 3)) == std::wstring::npos;
}

}  // namespace

bool IsStorableProfileKey(const std::wstring& key) {
  return IsSingleLine(key) && key.find(L'=') == std::wstring::npos && Trim(key).rfind(L'[', 0) != 0;
}

std::wstring GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& default_value, const std::wstring& path) {
  // The default goes through the same buffer, without its trailing blanks.
  std::wstring fallback = default_value;
  while (!fallback.empty() && (fallback.back() == L' ' || fallback.back() == L'\t')) {
    fallback.pop_back();
  }
  fallback = Truncated(fallback);
  ProfileFile file;
  {
    std::lock_guard<std::mutex> lock(g_profile_mutex);
    if (ReadProfileFile(path, file) != ProfileRead::kOk) return fallback;
  }
  const ProfileText text(std::move(file.bytes));
  const Location at = text.Find(Trim(section), Trim(key));
  if (!at.key_found) return fallback;
  return Truncated(Trim(text.Decode(at.value_begin, at.value_end)));
}

namespace {

ProfileWriteFailure WriteValue(const std::wstring& section, const std::wstring& key,
                               const std::wstring& value, const std::wstring& path) {
  // Settings texts come from pages and manifests: none may add lines of its own.
  if (!IsSingleLine(section) || section.find(L']') != std::wstring::npos ||
      !IsStorableProfileKey(key) || !IsSingleLine(value)) {
    return ProfileWriteFailure::kRefusedText;
  }
  std::lock_guard<std::mutex> lock(g_profile_mutex);
  ProfileFile file;
  if (ReadProfileFile(path, file) == ProfileRead::kFailed) return ProfileWriteFailure::kUnreadable;
  const ProfileText text(std::move(file.bytes));
  file.bytes = WithValue(text, Trim(section), Trim(key), value, file.new_line);
  return ReplaceProfileFile(path, file);
}

}  // namespace

bool WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                               const std::wstring& value, const std::wstring& path,
                               ProfileWriteFailure* failure) {
  const ProfileWriteFailure result = WriteValue(section, key, value, path);
  if (result == ProfileWriteFailure::kNone) return true;
  if (failure != nullptr) *failure = result;
  return false;
}

}  // namespace platform
