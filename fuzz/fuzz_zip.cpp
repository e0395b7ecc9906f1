// Arbitrary bytes as a content package, unpacked into a temporary folder.
//
// Invariants:
// - nothing is created, changed or removed outside the target folder (a
//   marker file and an empty folder beside the target are watched, and the
//   tree around the target is compared before and after);
// - nothing inside the target is a symbolic link;
// - every file left in the target holds the complete bytes of an entry of
//   that name whose CRC-32 checks out, as minizip itself reads it: no file
//   is ever cut short, whatever the call returned;
// - memory stays bounded (run with -rss_limit_mb and -malloc_limit_mb).
#include <minizip/unzip.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fuzz_folder.h"
#include "util/text.h"
#include "util/zip.h"
#include "util/zip_names.h"

namespace {

namespace fs = std::filesystem;

// Entries larger than this are not read back by the check (the extraction
// itself still unpacks them).
constexpr std::size_t kMaxCheckedBytes = 64 << 20;

struct Layout {
  std::string root;     // <scratch>/zip
  std::string target;   // <root>/around/target
  std::string package;  // <root>/package.vkp
};

const Layout& Folders() {
  static const Layout layout = [] {
    Layout l;
    l.root = fuzz::ScratchFolder() + "/zip";
    l.target = l.root + "/around/target";
    l.package = l.root + "/package.vkp";
    fs::create_directories(l.target);
    fs::create_directories(l.root + "/around/beside");
    fuzz::WriteFileOrDie(l.root + "/around/marker.txt", "marker");
    return l;
  }();
  return layout;
}

std::string NormalName(const std::wstring& name) {
  std::wstring slashed = name;
  for (wchar_t& c : slashed) {
    if (c == L'\\') c = L'/';
  }
  return fs::path(WideToFsName(slashed)).lexically_normal().string();
}

// Complete, CRC-checked contents of every entry, by normalised name.
std::map<std::string, std::set<std::string>> ReadEntries(const std::string& package) {
  std::map<std::string, std::set<std::string>> entries;
  unzFile archive = unzOpen64(package.c_str());
  if (archive == nullptr) return entries;
  std::size_t budget = kMaxCheckedBytes;
  for (int rc = unzGoToFirstFile(archive); rc == UNZ_OK; rc = unzGoToNextFile(archive)) {
    unz_file_info64 info;
    char name[1024];
    if (unzGetCurrentFileInfo64(archive, &info, name, sizeof name, nullptr, 0, nullptr, 0) !=
        UNZ_OK) {
      break;
    }
    auto decoded = DecodeEntryName(name, info.size_filename < sizeof name ? info.size_filename : 0,
                                   (info.flag & (1u << 11)) != 0);
    if (!decoded || unzOpenCurrentFile(archive) != UNZ_OK) continue;
    std::string bytes;
    char chunk[4096];
    int got = 0;
    while ((got = unzReadCurrentFile(archive, chunk, sizeof chunk)) > 0 && bytes.size() < budget) {
      bytes.append(chunk, static_cast<std::size_t>(got));
    }
    const bool complete = got == 0 && unzCloseCurrentFile(archive) == UNZ_OK;
    if (got != 0) unzCloseCurrentFile(archive);
    if (complete) entries[NormalName(*decoded)].insert(bytes);
    budget -= bytes.size() < budget ? bytes.size() : budget;
  }
  unzClose(archive);
  return entries;
}

void CheckTarget(const std::string& target, const std::string& package) {
  std::map<std::string, std::set<std::string>> entries;
  bool entries_read = false;
  std::error_code error;
  for (fs::recursive_directory_iterator it(target, error), end; !error && it != end;
       it.increment(error)) {
    const std::string relative = fs::relative(it->path(), target).string();
    if (it->is_symlink()) fuzz::Fail("symbolic link in the target", relative);
    if (!it->is_regular_file()) continue;
    if (!entries_read) {
      entries = ReadEntries(package);
      entries_read = true;
    }
    const std::string bytes = fuzz::ReadFileOrEmpty(it->path().string());
    auto found = entries.find(relative);
    if (found == entries.end()) fuzz::Fail("file that no entry names", relative);
    if (found->second.count(bytes) == 0) fuzz::Fail("file cut short or changed", relative);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Layout& layout = Folders();
  fuzz::WriteFileOrDie(layout.package,
                       std::string(reinterpret_cast<const char*>(data), size));
  static const std::vector<std::string> before = fuzz::ListTree(layout.root);

  static_cast<void>(UnzipArchive(FsNameToWide(layout.package), FsNameToWide(layout.target)));

  std::vector<std::string> after = fuzz::ListTree(layout.root);
  std::vector<std::string> outside;
  for (const std::string& name : after) {
    if (name.rfind("around/target/", 0) != 0) outside.push_back(name);
  }
  if (outside != before) {
    std::string listing;
    for (const std::string& name : outside) listing += name + "\n";
    fuzz::Fail("the tree outside the target changed", listing);
  }
  if (fuzz::ReadFileOrEmpty(layout.root + "/around/marker.txt") != "marker") {
    fuzz::Fail("marker beside the target changed", "");
  }
  CheckTarget(layout.target, layout.package);
  fuzz::EmptyFolder(layout.target);
  return 0;
}
