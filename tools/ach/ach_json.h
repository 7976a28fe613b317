// A small JSON writer for `ach list --json`: one document built in memory,
// names and strings given as UTF-16 and written as escaped UTF-8.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace ach {

class JsonWriter {
 public:
  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  // The name of the next member (inside an object).
  void Key(std::string_view name);
  void String(plat::StringView16 value);
  void Number(uint64_t value);
  void NumberSigned(int64_t value);
  void Boolean(bool value);
  // A whole member: Key(name) followed by the value.
  void NumberMember(std::string_view name, uint64_t value);
  void SignedMember(std::string_view name, int64_t value);
  void StringMember(std::string_view name, plat::StringView16 value);
  void BooleanMember(std::string_view name, bool value);

  // The document so far; complete once every object and array is ended.
  const std::string& Text() const { return text_; }

 private:
  void BeforeValue();
  std::string text_;
  // One level per open object or array: true once it holds a member.
  std::vector<bool> hasMember_;
  bool afterKey_ = false;
};

// The JSON string literal (quotes included) of UTF-16 text: control characters,
// quote and backslash escaped, other characters as UTF-8; an unpaired surrogate
// becomes U+FFFD.
std::string JsonQuote(plat::StringView16 value);

}  // namespace ach
