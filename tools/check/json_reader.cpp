#include "tools/check/json_reader.h"

#include <cstdlib>
#include <string_view>

namespace check_test {

namespace {

// RFC 8259, strictly: any deviation throws.
class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  Json Document() {
    Json value = Value();
    Blanks();
    if (at_ != text_.size()) Fail("text after the value");
    return value;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + " at " + std::to_string(at_));
  }
  void Blanks() {
    while (at_ < text_.size() &&
           std::string_view(" \t\r\n").find(text_[at_]) != std::string_view::npos)
      ++at_;
  }
  bool Take(char c) {
    Blanks();
    if (at_ < text_.size() && text_[at_] == c) return ++at_, true;
    return false;
  }
  void Expect(char c) {
    if (!Take(c)) Fail(std::string("expected ") + c);
  }
  bool Word(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }

  Json Value() {
    Json value;
    Blanks();
    if (Take('{')) {
      value.kind = Json::Kind::kObject;
      if (Take('}')) return value;
      do {
        Blanks();
        const std::string key = String();
        Expect(':');
        value.members[key] = Value();
      } while (Take(','));
      Expect('}');
    } else if (Take('[')) {
      value.kind = Json::Kind::kArray;
      if (Take(']')) return value;
      do value.items.push_back(Value());
      while (Take(','));
      Expect(']');
    } else if (at_ < text_.size() && text_[at_] == '"') {
      value.kind = Json::Kind::kString;
      value.text = String();
    } else if (Word("true")) {
      value.kind = Json::Kind::kBool;
      value.boolean = true;
    } else if (Word("false")) {
      value.kind = Json::Kind::kBool;
    } else if (Word("null")) {
      value.kind = Json::Kind::kNull;
    } else {
      const size_t begin = at_;
      if (at_ < text_.size() && text_[at_] == '-') ++at_;
      while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
      if (at_ == begin) Fail("no value");
      value.kind = Json::Kind::kNumber;
      value.number = std::strtod(std::string(text_.substr(begin, at_ - begin)).c_str(), nullptr);
    }
    return value;
  }

  unsigned Hex4() {
    if (at_ + 4 > text_.size()) Fail("short \\u escape");
    const std::string digits(text_.substr(at_, 4));
    if (digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) Fail("bad \\u");
    at_ += 4;
    return static_cast<unsigned>(std::stoul(digits, nullptr, 16));
  }

  static void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  std::string String() {
    if (at_ >= text_.size() || text_[at_] != '"') Fail("expected a string");
    ++at_;
    std::string out;
    for (;;) {
      if (at_ >= text_.size()) Fail("unterminated string");
      const char c = text_[at_++];
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) Fail("raw control character");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= text_.size()) Fail("cut escape");
      const char e = text_[at_++];
      const std::map<char, char> simple{{'"', '"'},  {'\\', '\\'}, {'/', '/'},  {'b', '\b'},
                                        {'f', '\f'}, {'n', '\n'},  {'r', '\r'}, {'t', '\t'}};
      if (e == 'u') {
        AppendUtf8(out, Hex4());  // the writer escapes only control characters
      } else if (simple.count(e)) {
        out += simple.at(e);
      } else {
        Fail("bad escape");
      }
    }
  }

  std::string_view text_;
  size_t at_ = 0;
};

}  // namespace

Json ParseJson(const std::string& text) {
  return Parser(text).Document();
}

}  // namespace check_test
