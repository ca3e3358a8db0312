#include "tools/check/json_writer.h"

#include <cstdio>

namespace check {

namespace {

// Length of the well-formed UTF-8 sequence at the start of text, or 0 for a
// stray continuation byte, an overlong form, a surrogate, a code point
// beyond U+10FFFF or a sequence cut short.
size_t Utf8Length(std::string_view text) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  size_t length;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

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

void JsonWriter::Escaped(std::string_view text) {
  out_ += '"';
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
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
        } else if (c >= 0x80) {
          const size_t length = Utf8Length(text.substr(i));
          if (length == 0) {
            out_ += "\xEF\xBF\xBD";
          } else {
            out_.append(text.substr(i, length));
            i += length;
            continue;
          }
        } else {
          out_ += static_cast<char>(c);
        }
    }
    ++i;
  }
  out_ += '"';
}

}  // namespace check
