// The JSON writer. Members are separated by commas as they come; the writer
// keeps only one flag per open level, so a document of any size costs its text.
#include "tools/ach/ach_json.h"

#include <cstdio>

namespace ach {

std::string JsonQuote(plat::StringView16 value) {
  std::string utf8 = plat::ToUtf8(value);
  std::string out;
  out.reserve(utf8.size() + 2);
  out.push_back('"');
  for (char c : utf8) {
    unsigned char byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (byte < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof(escape), "\\u%04x", byte);
          out += escape;
        } else {
          out.push_back(c);
        }
    }
  }
  out.push_back('"');
  return out;
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!hasMember_.empty()) {
    if (hasMember_.back()) text_.push_back(',');
    hasMember_.back() = true;
  }
}

void JsonWriter::BeginObject() {
  BeforeValue();
  text_.push_back('{');
  hasMember_.push_back(false);
}

void JsonWriter::EndObject() {
  if (!hasMember_.empty()) hasMember_.pop_back();
  text_.push_back('}');
}

void JsonWriter::BeginArray() {
  BeforeValue();
  text_.push_back('[');
  hasMember_.push_back(false);
}

void JsonWriter::EndArray() {
  if (!hasMember_.empty()) hasMember_.pop_back();
  text_.push_back(']');
}

void JsonWriter::Key(std::string_view name) {
  BeforeValue();
  text_ += JsonQuote(plat::FromUtf8(name));
  text_.push_back(':');
  afterKey_ = true;
}

void JsonWriter::String(plat::StringView16 value) {
  BeforeValue();
  text_ += JsonQuote(value);
}

void JsonWriter::Number(uint64_t value) {
  BeforeValue();
  text_ += std::to_string(value);
}

void JsonWriter::NumberSigned(int64_t value) {
  BeforeValue();
  text_ += std::to_string(value);
}

void JsonWriter::Boolean(bool value) {
  BeforeValue();
  text_ += value ? "true" : "false";
}

void JsonWriter::NumberMember(std::string_view name, uint64_t value) {
  Key(name);
  Number(value);
}

void JsonWriter::SignedMember(std::string_view name, int64_t value) {
  Key(name);
  NumberSigned(value);
}

void JsonWriter::StringMember(std::string_view name, plat::StringView16 value) {
  Key(name);
  String(value);
}

void JsonWriter::BooleanMember(std::string_view name, bool value) {
  Key(name);
  Boolean(value);
}

}  // namespace ach
