// The update manifest over arbitrary text, and the version comparison.
//
// Invariants:
// - loading the manifest from a file and parsing the same text in memory
//   (with the file's line ends) agree, and neither crashes;
// - a manifest that loads has a version and six values per item, and every
//   file name and folder value that IsContainedName accepts stays inside the
//   folder it is appended to;
// - CompareVersions is antisymmetric (compare(a,b) = -compare(b,a)),
//   reflexive and transitive over the manifest's version, its values, and
//   the lines of the input;
// - the lenient number reading agrees with the C library's strtoll.
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_folder.h"
#include "update/manifest.h"
#include "update/versions.h"
#include "util/relative_name.h"
#include "util/text.h"

namespace {

std::string Narrow(const std::wstring& w) { return WideToFsName(w); }

bool SameManifest(const std::optional<UpdateManifest>& a, const std::optional<UpdateManifest>& b) {
  if (a.has_value() != b.has_value()) return false;
  if (!a) return true;
  if (a->version != b->version || a->items.size() != b->items.size()) return false;
  for (std::size_t i = 0; i < a->items.size(); ++i) {
    const ManifestItem& x = a->items[i];
    const ManifestItem& y = b->items[i];
    if (x.file_name != y.file_name || x.md5 != y.md5 || x.folder != y.folder || x.size != y.size ||
        x.url != y.url || x.kind != y.kind) {
      return false;
    }
  }
  return true;
}

// A name accepted as contained, joined to a folder, must stay below it.
void CheckContained(const std::wstring& name) {
  if (!IsContainedName(name)) return;
  std::wstring slashed = name;
  for (wchar_t& c : slashed) {
    if (c == L'\\') c = L'/';
  }
  namespace fs = std::filesystem;
  const fs::path base("/base/folder");
  const fs::path joined = (base / fs::path(Narrow(slashed))).lexically_normal();
  const std::string text = joined.string();
  if (text.compare(0, base.string().size(), base.string()) != 0) {
    fuzz::Fail("contained name leads out of its folder", Narrow(name));
  }
}

// Transitivity is checked over the first few values only (cubic cost).
constexpr std::size_t kTripleLimit = 6;

void CheckComparisons(const std::vector<std::wstring>& versions) {
  const std::size_t n = versions.size() < 12 ? versions.size() : 12;
  for (std::size_t i = 0; i < n; ++i) {
    const std::wstring& a = versions[i];
    if (CompareVersions(a, a) != 0) fuzz::Fail("compare(a,a) != 0", Narrow(a));
    for (std::size_t j = 0; j < n; ++j) {
      const std::wstring& b = versions[j];
      const int ab = CompareVersions(a, b);
      if (ab < -1 || ab > 1 || ab != -CompareVersions(b, a)) {
        fuzz::Fail("CompareVersions not antisymmetric", Narrow(a) + " | " + Narrow(b));
      }
      for (std::size_t k = 0; k < n && k < kTripleLimit && i < kTripleLimit && ab <= 0; ++k) {
        const std::wstring& c = versions[k];
        if (CompareVersions(b, c) <= 0 && CompareVersions(a, c) > 0) {
          fuzz::Fail("CompareVersions not transitive",
                     Narrow(a) + " | " + Narrow(b) + " | " + Narrow(c));
        }
      }
    }
  }
}

void CheckNumberReading(const std::string& text) {
  const std::string cut = text.substr(0, text.find('\0'));
  errno = 0;
  const long long expected = std::strtoll(cut.c_str(), nullptr, 10);
  if (ReadLeadingInt64(cut) != expected) fuzz::Fail("ReadLeadingInt64 differs from strtoll", cut);
  const long long clamped = expected > INT_MAX ? INT_MAX : expected < INT_MIN ? INT_MIN : expected;
  if (ReadLeadingInt(AnsiToWide(cut)) != clamped && AnsiToWide(cut).size() == cut.size()) {
    fuzz::Fail("ReadLeadingInt differs from strtoll", cut);
  }
}

// TinyXML turns CR LF and a lone CR into LF when it loads a file, not when it
// parses text in memory.
std::string WithFileLineEnds(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      out += text[i];
    } else if (i + 1 >= text.size() || text[i + 1] != '\n') {
      out += '\n';
    }
  }
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= text.size() && lines.size() < 8) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  static const std::string path = fuzz::ScratchFolder() + "/update.xml";
  fuzz::WriteFileOrDie(path, text);
  const std::optional<UpdateManifest> loaded = LoadManifest(FsNameToWide(path));
  const std::optional<UpdateManifest> parsed = ParseManifest(WithFileLineEnds(text));
  // In memory the text ends at its first zero byte; the file does not.
  if (text.find('\0') == std::string::npos && !SameManifest(loaded, parsed)) {
    fuzz::Fail("loading and parsing disagree", text);
  }

  std::vector<std::wstring> versions;
  if (loaded) {
    versions.push_back(loaded->version);
    for (const ManifestItem& item : loaded->items) {
      CheckContained(item.file_name);
      CheckContained(item.folder);
      versions.push_back(item.md5);
      versions.push_back(item.kind);
    }
  }
  for (const std::string& line : Lines(text)) {
    versions.push_back(AnsiToWide(line));
    CheckNumberReading(line);
  }
  CheckComparisons(versions);
  return 0;
}
