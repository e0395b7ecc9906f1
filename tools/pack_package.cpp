// quillory-pack package DIR OUT.vkp: packs a folder (usually a store made by
// `quillory-pack store`) into a content package, a zip archive whose entry
// names are relative to DIR, in the code page, with "/" separators.
#include <minizip/zip.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "pack_commands.h"
#include "platform/file_writer.h"
#include "platform/fs.h"
#include "util/text.h"

namespace fs = std::filesystem;

namespace {

constexpr unsigned long kUtf8NameFlag = 1ul << 11;
constexpr std::size_t kChunkSize = 64 * 1024;

struct PackItem {
  fs::path path;     // on disk
  std::string name;  // entry name, "/"-separated, "/" at the end for a folder
  bool is_folder = false;
};

// Every file below `root`, and every empty folder, sorted by entry name so
// the same tree always gives the same package.
std::vector<PackItem> CollectItems(const fs::path& root) {
  std::vector<PackItem> items;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    const fs::path& path = it->path();
    std::string name = path.lexically_relative(root).generic_u8string();
    if (it->is_regular_file()) {
      items.push_back({path, name, false});
    } else if (it->is_directory() && fs::is_empty(path)) {
      items.push_back({path, name + "/", true});
    }
  }
  std::sort(items.begin(), items.end(),
            [](const PackItem& a, const PackItem& b) { return a.name < b.name; });
  return items;
}

// The entry name in the code page; a name the code page cannot hold is
// stored as UTF-8 with the UTF-8 flag instead of losing characters.
std::string EntryName(const std::string& fs_name, unsigned long& flag) {
  std::wstring wide = platform::FromFsName(fs_name);
  std::string ansi = WideToAnsi(wide);
  if (AnsiToWide(ansi) == wide) {
    flag = 0;
    return ansi;
  }
  flag = kUtf8NameFlag;
  return fs_name;
}

zip_fileinfo EntryFileInfo(const fs::path& path) {
  zip_fileinfo info{};
  platform::LocalTime time = platform::FileLocalTime(platform::FromFsName(path.u8string()))
                                 .value_or(platform::LocalTime{});
  info.tmz_date.tm_year = static_cast<uInt>(time.year);
  info.tmz_date.tm_mon = static_cast<uInt>(time.month - 1);
  info.tmz_date.tm_mday = static_cast<uInt>(time.day);
  info.tmz_date.tm_hour = static_cast<uInt>(time.hour);
  info.tmz_date.tm_min = static_cast<uInt>(time.minute);
  info.tmz_date.tm_sec = static_cast<uInt>(time.second);
  return info;
}

bool CopyFileData(zipFile zip, const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::vector<char> buffer(kChunkSize);
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    std::streamsize count = in.gcount();
    if (count > 0 &&
        zipWriteInFileInZip(zip, buffer.data(), static_cast<unsigned>(count)) != ZIP_OK)
      return false;
  }
  return in.eof();
}

bool AddItem(zipFile zip, const PackItem& item) {
  unsigned long flag = 0;
  std::string name = EntryName(item.name, flag);
  zip_fileinfo info = EntryFileInfo(item.path);
  std::error_code error;
  std::uintmax_t size = item.is_folder ? 0 : fs::file_size(item.path, error);
  int zip64 = size >= 0xFFFFFFFFu ? 1 : 0;
  if (zipOpenNewFileInZip4_64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                              Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr,
                              0, 0, flag, zip64) != ZIP_OK) {
    return false;
  }
  bool ok = item.is_folder || CopyFileData(zip, item.path);
  return zipCloseFileInZip(zip) == ZIP_OK && ok;
}

bool WritePackage(const fs::path& root, const fs::path& out) {
  // Collected before the package exists, so it never packs itself.
  std::vector<PackItem> items = CollectItems(root);
  zipFile zip = zipOpen64(out.c_str(), APPEND_STATUS_CREATE);
  if (zip == nullptr) return false;
  bool ok = true;
  for (const PackItem& item : items) {
    if (!AddItem(zip, item)) {
      std::fprintf(stderr, "quillory-pack package: cannot add %s\n", item.path.c_str());
      ok = false;
      break;
    }
  }
  return zipClose(zip, nullptr) == ZIP_OK && ok;
}

}  // namespace

int RunPackageCommand(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: quillory-pack package DIR OUT.vkp\n");
    return 2;
  }
  fs::path root = argv[1];
  fs::path out = argv[2];
  try {
    if (!fs::is_directory(root)) {
      std::fprintf(stderr, "quillory-pack package: %s is not a folder\n", argv[1]);
      return 1;
    }
    // An earlier package inside DIR must not be packed into the new one.
    std::error_code ignored;
    fs::remove(out, ignored);
    if (WritePackage(root, out)) return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "quillory-pack package: %s\n", error.what());
  }
  std::error_code ignored;
  fs::remove(out, ignored);
  return 1;
}
