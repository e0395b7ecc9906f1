#include "commands/product_catalogue.h"

#include <tinyxml.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <system_error>

#include "commands/command_host.h"
#include "platform/fs.h"
#include "shell/shared_values.h"
#include "util/xml_text.h"

namespace {

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
  return folder + platform::kPathSeparator + name;
}

// Only a regular file goes to the XML library: it sizes its read buffer from
// the stream's end position, which for a folder is a huge bogus value (and a
// FIFO would block the window's thread).
bool IsRegularFile(const std::string& fs_name) {
  std::error_code error;
  return std::filesystem::is_regular_file(std::filesystem::path(fs_name), error);
}

// A deep copy of the first element of a product's pro.xml, or null when the
// file is missing, unreadable, does not parse or holds no element.
std::unique_ptr<TiXmlNode> LoadProductElement(const std::wstring& product_dir) {
  const std::string fs_name = platform::ToFsName(JoinPath(product_dir, kProductDescriptionName));
  if (!IsRegularFile(fs_name)) return nullptr;
  try {
    TiXmlDocument description;
    if (!LoadXmlFile(&description, fs_name)) return nullptr;
    const TiXmlElement* first = description.FirstChildElement();
    if (first == nullptr) return nullptr;
    return std::unique_ptr<TiXmlNode>(first->Clone());
  } catch (const std::exception&) {
    return nullptr;  // a description too large to hold in memory is left out
  }
}

// Prints the document into a temporary file beside `target` and renames it
// into place only when every byte reached the file, so a reader (or a failed
// write) never sees a list cut short.
bool SaveAtomically(const TiXmlDocument& document, const std::wstring& target) {
  const std::wstring temporary = target + L".tmp";
  std::FILE* file = std::fopen(platform::ToFsName(temporary).c_str(), "w");
  if (file == nullptr) return false;
  bool written = document.SaveFile(file);
  written = std::fflush(file) == 0 && written;
  written = std::fclose(file) == 0 && written;
  if (written && platform::MoveFileTo(temporary, target)) return true;
  platform::DeleteFileAt(temporary);
  return false;
}

}  // namespace

bool WriteLocalProductList(const std::wstring& content_dir,
                           const std::function<void()>& on_product) {
  TiXmlDocument list;
  list.LinkEndChild(new TiXmlDeclaration("1.0", "UTF-8", ""));
  auto* root = new TiXmlElement("ProductList");
  list.LinkEndChild(root);
  for (const platform::DirEntry& entry : platform::ListFolder(content_dir)) {
    if (!entry.is_directory) continue;
    std::unique_ptr<TiXmlNode> product = LoadProductElement(JoinPath(content_dir, entry.name));
    if (!product) continue;
    root->LinkEndChild(product.release());
    if (on_product) on_product();
  }
  return SaveAtomically(list, JoinPath(content_dir, kProductListName));
}

void GetLocalProduct(CommandHost& host) {
  host.RunPageScript(L"SetLocProBar(0);");
  WriteLocalProductList(g_strAppDir + g_strDataDir,
                        [&host] { host.RunPageScript(L"SetLocProBar(2);"); });
  host.RunPageScript(L"SetLocProBar(1);");
}
