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
          const size_t length = platform::Utf8SequenceLength(text.substr(i));
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
