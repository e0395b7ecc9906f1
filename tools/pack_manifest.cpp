// quillory-pack manifest: writes an update manifest from local files, so
// publishers and tests never write one by hand. The manifest is read by
// position, so the attributes are written in their fixed order: file name,
// MD5, folder, size, URL, kind. Values are written in the legacy code page,
// which is how the update sequence reads them.
#include <tinyxml.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "pack_commands.h"
#include "platform/codepage.h"
#include "util/md5.h"
#include "util/text.h"

namespace {

struct ItemArgument {
  std::string path;  // local file, file-system name
  std::string folder, url, kind;
};

struct ManifestArguments {
  std::string version;
  std::string out;
  std::vector<ItemArgument> items;
};

// PATH,FOLDER,URL,KIND. The URL is everything between the second and the
// last comma, so it may hold commas of its own.
std::optional<ItemArgument> ParseItem(const std::string& text) {
  const std::size_t first = text.find(',');
  const std::size_t second = first == std::string::npos ? first : text.find(',', first + 1);
  const std::size_t last = text.rfind(',');
  if (second == std::string::npos || last <= second) return std::nullopt;
  ItemArgument item;
  item.path = text.substr(0, first);
  item.folder = text.substr(first + 1, second - first - 1);
  item.url = text.substr(second + 1, last - second - 1);
  item.kind = text.substr(last + 1);
  if (item.path.empty()) return std::nullopt;
  return item;
}

std::optional<ManifestArguments> ParseArguments(int argc, char** argv) {
  ManifestArguments arguments;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0 && i + 1 < argc) {
      arguments.version = argv[++i];
    } else if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
      arguments.out = argv[++i];
    } else if (std::optional<ItemArgument> item = ParseItem(argv[i])) {
      arguments.items.push_back(*item);
    } else {
      std::fprintf(stderr, "quillory-pack manifest: bad argument '%s'\n", argv[i]);
      return std::nullopt;
    }
  }
  if (arguments.version.empty() || arguments.out.empty()) return std::nullopt;
  return arguments;
}

// Command-line text is in the file-system encoding; the manifest holds code-page bytes.
std::string ToCodePage(const std::string& fs_text) { return WideToAnsi(FsNameToWide(fs_text)); }

std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool AddItem(TiXmlElement& root, const ItemArgument& argument) {
  namespace fs = std::filesystem;
  std::error_code error;
  const std::uintmax_t size = fs::file_size(argument.path, error);
  const std::optional<std::string> digest = MD5File(argument.path);
  if (error || !digest) {
    std::fprintf(stderr, "quillory-pack manifest: cannot read '%s'\n", argument.path.c_str());
    return false;
  }
  TiXmlElement item("file");
  item.SetAttribute("name", ToCodePage(fs::path(argument.path).filename().string()));
  item.SetAttribute("md5", UpperCase(*digest));
  item.SetAttribute("folder", ToCodePage(argument.folder));
  item.SetAttribute("size", std::to_string(size));
  item.SetAttribute("url", ToCodePage(argument.url));
  item.SetAttribute("type", ToCodePage(argument.kind));
  root.InsertEndChild(item);
  return true;
}

// The XML name of the code page; the reader treats any name but UTF-8 as
// bytes to pass through unchanged.
std::string EncodingName() {
  const std::string name = platform::LegacyCodePage();
  return name == "CP936" || name == "cp936" ? "GBK" : name;
}

}  // namespace

int RunManifestCommand(int argc, char** argv) {
  const std::optional<ManifestArguments> arguments = ParseArguments(argc, argv);
  if (!arguments) {
    std::fprintf(stderr,
                 "usage: quillory-pack manifest --version V --out FILE PATH,FOLDER,URL,KIND...\n");
    return 2;
  }
  TiXmlDocument document;
  document.InsertEndChild(TiXmlDeclaration("1.0", EncodingName(), ""));
  TiXmlElement root("update");
  root.SetAttribute("version", ToCodePage(arguments->version));
  for (const ItemArgument& item : arguments->items) {
    if (!AddItem(root, item)) return 1;
  }
  document.InsertEndChild(root);
  if (!document.SaveFile(arguments->out)) {
    std::fprintf(stderr, "quillory-pack manifest: cannot write '%s'\n", arguments->out.c_str());
    return 1;
  }
  return 0;
}
