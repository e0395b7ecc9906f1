// A small JSON reader and string quoting for the WebDriver protocol.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace guitest {

struct Json {
  enum class Type { kNull, kBool, kNumber, kString, kArray, kObject };
  Type type = Type::kNull;
  bool boolean = false;
  double number = 0;
  std::string string;
  std::vector<Json> array;
  std::map<std::string, Json> object;

  bool IsNull() const { return type == Type::kNull; }
  // Member `key` of an object; a null value when missing or not an object.
  const Json& operator[](const std::string& key) const;
  // Compact text of the value (for messages).
  std::string Dump() const;
};

// Parses one JSON text; none when it is not valid JSON.
std::optional<Json> ParseJson(const std::string& text);
// `text` as a JSON string literal, quotes included.
std::string QuoteJson(const std::string& text);

}  // namespace guitest
