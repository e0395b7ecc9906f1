// Recursive-descent JSON reader (UTF-8 in and out).
#include "gui/harness/json.h"

#include <cstdio>
#include <cctype>
#include <cstdlib>

namespace guitest {
namespace {

class Reader {
 public:
  explicit Reader(const std::string& text) : m_text(text) {}

  std::optional<Json> Document() {
    std::optional<Json> value = Value();
    Skip();
    if (!value || m_pos != m_text.size()) return std::nullopt;
    return value;
  }

 private:
  void Skip() {
    while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos]))) ++m_pos;
  }
  bool Literal(const char* word) {
    std::string w(word);
    if (m_text.compare(m_pos, w.size(), w) != 0) return false;
    m_pos += w.size();
    return true;
  }
  std::optional<Json> Value() {
    Skip();
    if (m_pos >= m_text.size()) return std::nullopt;
    Json value;
    char c = m_text[m_pos];
    if (c == '{') return Object();
    if (c == '[') return Array();
    if (c == '"') {
      std::optional<std::string> s = String();
      if (!s) return std::nullopt;
      value.type = Json::Type::kString;
      value.string = *s;
      return value;
    }
    if (Literal("true") || Literal("false")) {
      value.type = Json::Type::kBool;
      value.boolean = m_text[m_pos - 1] == 'e' && m_text[m_pos - 2] == 'u';
      return value;
    }
    if (Literal("null")) return value;
    const char* start = m_text.c_str() + m_pos;
    char* end = nullptr;
    value.number = std::strtod(start, &end);
    if (end == start) return std::nullopt;
    m_pos += static_cast<std::size_t>(end - start);
    value.type = Json::Type::kNumber;
    return value;
  }
  std::optional<Json> Array() {
    Json value;
    value.type = Json::Type::kArray;
    ++m_pos;
    Skip();
    if (m_pos < m_text.size() && m_text[m_pos] == ']') return ++m_pos, value;
    for (;;) {
      std::optional<Json> item = Value();
      if (!item) return std::nullopt;
      value.array.push_back(std::move(*item));
      Skip();
      if (m_pos >= m_text.size()) return std::nullopt;
      if (m_text[m_pos++] == ']') return value;
      if (m_text[m_pos - 1] != ',') return std::nullopt;
    }
  }
  std::optional<Json> Object() {
    Json value;
    value.type = Json::Type::kObject;
    ++m_pos;
    Skip();
    if (m_pos < m_text.size() && m_text[m_pos] == '}') return ++m_pos, value;
    for (;;) {
      Skip();
      std::optional<std::string> key = m_pos < m_text.size() && m_text[m_pos] == '"'
                                           ? String() : std::nullopt;
      Skip();
      if (!key || m_pos >= m_text.size() || m_text[m_pos++] != ':') return std::nullopt;
      std::optional<Json> item = Value();
      if (!item) return std::nullopt;
      value.object[*key] = std::move(*item);
      Skip();
      if (m_pos >= m_text.size()) return std::nullopt;
      if (m_text[m_pos++] == '}') return value;
      if (m_text[m_pos - 1] != ',') return std::nullopt;
    }
  }
  void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  std::optional<unsigned> Hex4() {
    if (m_pos + 4 > m_text.size()) return std::nullopt;
    unsigned code = static_cast<unsigned>(std::strtoul(m_text.substr(m_pos, 4).c_str(), nullptr, 16));
    m_pos += 4;
    return code;
  }
  std::optional<std::string> String() {
    std::string out;
    ++m_pos;
    while (m_pos < m_text.size()) {
      char c = m_text[m_pos++];
      if (c == '"') return out;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (m_pos >= m_text.size()) return std::nullopt;
      char e = m_text[m_pos++];
      switch (e) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'u': {
          std::optional<unsigned> code = Hex4();
          if (!code) return std::nullopt;
          if (*code >= 0xD800 && *code < 0xDC00 && m_text.compare(m_pos, 2, "\\u") == 0) {
            m_pos += 2;
            std::optional<unsigned> low = Hex4();
            if (!low) return std::nullopt;
            *code = 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00);
          }
          AppendUtf8(out, *code);
          break;
        }
        default: out += e; break;
      }
    }
    return std::nullopt;
  }

  const std::string& m_text;
  std::size_t m_pos = 0;
};

}  // namespace

const Json& Json::operator[](const std::string& key) const {
  static const Json kMissing;
  auto found = object.find(key);
  return found == object.end() ? kMissing : found->second;
}

std::string Json::Dump() const {
  switch (type) {
    case Type::kNull: return "null";
    case Type::kBool: return boolean ? "true" : "false";
    case Type::kNumber: {
      char text[32];
      std::snprintf(text, sizeof(text), "%.17g", number);
      return text;
    }
    case Type::kString: return QuoteJson(string);
    case Type::kArray: {
      std::string out = "[";
      for (std::size_t i = 0; i < array.size(); ++i) out += (i ? "," : "") + array[i].Dump();
      return out + "]";
    }
    case Type::kObject: {
      std::string out = "{";
      bool first = true;
      for (const auto& [key, value] : object) {
        out += (first ? "" : ",") + QuoteJson(key) + ":" + value.Dump();
        first = false;
      }
      return out + "}";
    }
  }
  return "null";
}

std::optional<Json> ParseJson(const std::string& text) { return Reader(text).Document(); }

std::string QuoteJson(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof(escape), "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

}  // namespace guitest
