// Reading the update manifest with TinyXML, by position.
#include "update/manifest.h"

#include <tinyxml.h>

#include "update/versions.h"
#include "util/text.h"
#include "util/xml_text.h"

namespace {

constexpr int kItemValues = 6;
constexpr char kSha256Name[] = "sha256";

// The value of the attribute named sha256 among those after the six; empty when none.
std::string ReadSha256(const TiXmlAttribute* attribute) {
  for (; attribute != nullptr; attribute = attribute->Next()) {
    if (attribute->NameTStr() == kSha256Name) return attribute->ValueStr();
  }
  return std::string();
}

// The first six attribute values of an item, or no result when it has fewer.
std::optional<ManifestItem> ReadItem(const TiXmlElement& element) {
  const char* values[kItemValues] = {};
  const TiXmlAttribute* attribute = element.FirstAttribute();
  for (int i = 0; i < kItemValues; ++i, attribute = attribute->Next()) {
    if (attribute == nullptr) return std::nullopt;
    values[i] = attribute->Value();
  }
  ManifestItem item;
  item.file_name = AnsiToWide(values[0]);
  item.md5 = AnsiToWide(values[1]);
  item.folder = AnsiToWide(values[2]);
  item.size = ReadLeadingInt64(values[3]);
  item.url = AnsiToWide(values[4]);
  item.kind = AnsiToWide(values[5]);
  item.sha256 = ReadSha256(attribute);
  return item;
}

std::optional<UpdateManifest> ReadDocument(const TiXmlDocument& document) {
  if (document.Error()) return std::nullopt;
  const TiXmlElement* root = document.RootElement();
  if (root == nullptr || root->FirstAttribute() == nullptr) return std::nullopt;
  UpdateManifest manifest;
  manifest.version = AnsiToWide(root->FirstAttribute()->Value());
  for (const TiXmlElement* element = root->FirstChildElement(); element != nullptr;
       element = element->NextSiblingElement()) {
    std::optional<ManifestItem> item = ReadItem(*element);
    if (!item) return std::nullopt;
    manifest.items.push_back(std::move(*item));
  }
  return manifest;
}

}  // namespace

std::optional<UpdateManifest> LoadManifest(const std::wstring& path) {
  TiXmlDocument document;
  if (!LoadXmlFile(&document, WideToFsName(path))) return std::nullopt;
  return ReadDocument(document);
}

std::optional<UpdateManifest> ParseManifestFileBytes(const std::string& bytes) {
  TiXmlDocument document;
  if (!ParseXmlFileBytes(&document, bytes)) return std::nullopt;
  return ReadDocument(document);
}

std::optional<UpdateManifest> ParseManifest(const std::string& text) {
  TiXmlDocument document;
  ParseXmlText(&document, text);
  return ReadDocument(document);
}
