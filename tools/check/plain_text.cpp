#include "tools/check/plain_text.h"

#include "platform/utf8.h"

namespace check {

namespace {

constexpr size_t kWidth = 79;

// Characters on screen, near enough: UTF-8 continuation bytes take no column.
size_t Columns(const std::string& text) {
  size_t columns = 0;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++columns;
  }
  return columns;
}

}  // namespace

std::string Printable(const std::string& text) {
  std::string out;
  for (char c : platform::Printable(text)) {
    if (c == '\t') {
      out += "  ";
    } else if ((c >= 0 && c < 0x20) || c == 0x7F) {
      out += '?';
    } else {
      out += c;
    }
  }
  return out;
}

std::string Wrapped(const std::string& first, const std::string& text) {
  const std::string indent(Columns(first), ' ');
  const std::string printable = Printable(text);
  std::string out = first, line;
  size_t begin = 0;
  while (begin <= printable.size()) {
    // Words end at single blanks, so runs of blanks inside a path survive.
    size_t end = printable.find(' ', begin);
    if (end == std::string::npos) end = printable.size();
    const std::string word = printable.substr(begin, end - begin);
    if (!line.empty() && Columns(indent) + Columns(line) + 1 + Columns(word) > kWidth) {
      out += line + "\n" + indent;
      line = word;
    } else {
      line += (begin == 0 ? "" : " ") + word;
    }
    begin = end + 1;
  }
  return out + line + "\n";
}

std::string WithCommas(uint64_t n) {
  const std::string digits = std::to_string(n);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

std::string Counted(uint64_t n, const char* one, const char* many) {
  return WithCommas(n) + " " + (n == 1 ? one : many);
}

}  // namespace check
