// quillory-pack manifest: writes an update manifest from local files, so
// publishers and tests never write one by hand. The manifest is read by
// position, so the attributes are written in their fixed order: file name,
// MD5, folder, size, URL, kind; then "sha256", which programs built with
// publisher keys require. Values are written in the legacy code page, which is
// how the update sequence reads them. With --sign the manifest is signed as
// it was written, into FILE.minisig.
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
#include "pack_sign.h"
#include "platform/codepage.h"
#include "update/sha256_check.h"
#include "update/trusted_comment.h"
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
  std::string sign_key;  // secret key file; empty: no signature
  std::string sequence;
  std::string expires;
  std::vector<ItemArgument> items;
};

constexpr char kUsage[] =
    "usage: quillory-pack manifest --version V --out FILE [--sign SECRET_KEY --sequence N\n"
    "           [--expires YYYY-MM-DDTHH:MM:SSZ]] PATH,FOLDER,URL,KIND...\n";

// The field that a value option fills; null for anything else.
std::string* OptionField(const char* name, ManifestArguments* arguments) {
  if (std::strcmp(name, "--version") == 0) return &arguments->version;
  if (std::strcmp(name, "--out") == 0) return &arguments->out;
  if (std::strcmp(name, "--sign") == 0) return &arguments->sign_key;
  if (std::strcmp(name, "--sequence") == 0) return &arguments->sequence;
  if (std::strcmp(name, "--expires") == 0) return &arguments->expires;
  return nullptr;
}

// A signature needs a sequence, and the fields must be what the program reads.
bool SigningArgumentsAreSound(const ManifestArguments& arguments) {
  if (arguments.sign_key.empty()) return arguments.sequence.empty() && arguments.expires.empty();
  return NormalizeSequence(arguments.sequence) &&
         (arguments.expires.empty() || ParseUtcTime(arguments.expires));
}

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
    if (std::string* field = OptionField(argv[i], &arguments); field && i + 1 < argc) {
      *field = argv[++i];
    } else if (std::optional<ItemArgument> item = ParseItem(argv[i])) {
      arguments.items.push_back(*item);
    } else {
      std::fprintf(stderr, "quillory-pack manifest: bad argument '%s'\n", argv[i]);
      return std::nullopt;
    }
  }
  if (arguments.version.empty() || arguments.out.empty() || !SigningArgumentsAreSound(arguments))
    return std::nullopt;
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
  // A UTF-8 name, like every name the tool is given (on Windows too).
  const std::uintmax_t size = fs::file_size(fs::u8path(argument.path), error);
  const std::optional<std::string> digest = MD5File(argument.path);
  const std::optional<std::string> sha256 = Sha256File(argument.path);
  if (error || !digest || !sha256) {
    std::fprintf(stderr, "quillory-pack manifest: cannot read '%s'\n", argument.path.c_str());
    return false;
  }
  TiXmlElement item("file");
  item.SetAttribute("name", ToCodePage(fs::u8path(argument.path).filename().u8string()));
  item.SetAttribute("md5", UpperCase(*digest));
  item.SetAttribute("folder", ToCodePage(argument.folder));
  item.SetAttribute("size", std::to_string(size));
  item.SetAttribute("url", ToCodePage(argument.url));
  item.SetAttribute("type", ToCodePage(argument.kind));
  item.SetAttribute("sha256", *sha256);
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
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  // The key is read first, so that a key that cannot sign leaves no manifest.
  std::optional<MinisignSecretKey> key;
  if (!arguments->sign_key.empty() && !(key = ReadSecretKeyFile(arguments->sign_key))) return 1;
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
  if (!key) return 0;
  std::string comment = "sequence=" + arguments->sequence;
  if (!arguments->expires.empty()) comment += " expires=" + arguments->expires;
  return WriteManifestSignature(arguments->out, *key, comment) ? 0 : 1;
}
