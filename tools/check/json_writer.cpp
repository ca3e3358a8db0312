#include "tools/check/json_writer.h"

#include <cstdio>

#include "platform/utf8.h"

namespace check {

void JsonWriter::BeginObject() {
  BeforeValue();
  out_ += '{';
  empty_.push_back(true);
}

void JsonWriter::EndObject() {
  empty_.pop_back();
  out_ += '}';
}

void JsonWriter::BeginArray() {
  BeforeValue();
  out_ += '[';
  empty_.push_back(true);
}

void JsonWriter::EndArray() {
  empty_.pop_back();
  out_ += ']';
}

void JsonWriter::Key(std::string_view name) {
  BeforeValue();
  Escaped(name);
  out_ += ':';
  afterKey_ = true;
}

void JsonWriter::String(std::string_view text) {
  BeforeValue();
  Escaped(text);
}

void JsonWriter::Integer(int64_t value) {
  BeforeValue();
  out_ += std::to_string(value);
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  out_ += value ? "true" : "false";
}

void JsonWriter::Null() {
  BeforeValue();
  out_ += "null";
}

void JsonWriter::Member(std::string_view key, std::string_view text) {
  Key(key);
  String(text);
}

void JsonWriter::MemberOrNull(std::string_view key, std::string_view text) {
  Key(key);
  if (text.empty()) {
    Null();
  } else {
    String(text);
  }
}

// A value right after its key needs nothing; any other item after the first
// of its object or array needs a comma.
void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (empty_.empty()) return;
  if (!empty_.back()) out_ += ',';
  empty_.back() = false;
}

void JsonWriter::Escaped(std::string_view raw) {
  // Well-formed UTF-8 naming every byte it could not hold, so only what JSON
  // itself reserves is left to escape.
  const std::string text = platform::Printable(raw);
  out_ += '"';
  for (const char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out_ += "\\\"";
        break;
      case '\\':
        out_ += "\\\\";
        break;
      case '\n':
        out_ += "\\n";
        break;
      case '\r':
        out_ += "\\r";
        break;
      case '\t':
        out_ += "\\t";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", c);
          out_ += escape;
        } else {
          out_ += ch;
        }
    }
  }
  out_ += '"';
}

}  // namespace check
