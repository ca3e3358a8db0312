// A small streaming JSON writer: objects, arrays, strings, integers, true,
// false and null, with the commas placed for the caller. Strings pass UTF-8
// through; quotes, backslashes and control characters are escaped, and any
// byte that is not part of well-formed UTF-8 becomes U+FFFD, so the output
// is always valid JSON whatever the settings file held.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace check {

class JsonWriter {
 public:
  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  // The name of the next member of the current object.
  void Key(std::string_view name);

  void String(std::string_view text);
  void Integer(int64_t value);
  void Bool(bool value);
  void Null();

  // A member of the current object whose value is text; the OrNull form
  // writes null for empty text, which stands for "none".
  void Member(std::string_view key, std::string_view text);
  void MemberOrNull(std::string_view key, std::string_view text);

  // The text written so far.
  const std::string& Text() const { return out_; }

 private:
  void BeforeValue();
  void Escaped(std::string_view text);

  std::string out_;
  std::vector<bool> empty_;  // per open object or array: nothing in it yet
  bool afterKey_ = false;
};

}  // namespace check
