#include "platform/ini/ini_line.h"

#include <cstring>

namespace platform::ini {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

namespace {

char FoldCase(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

std::string FoldedName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = FoldCase(c);
  return folded;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

size_t BodyStart(std::string_view text) {
  return text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
}

Line ReadLine(std::string_view text, size_t begin) {
  Line line;
  line.begin = begin;
  size_t i = begin;
  while (i < text.size() && text[i] != '\n' && text[i] != '\r') ++i;
  line.contentEnd = i;
  if (i < text.size()) i += (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
  line.end = i;

  std::string_view content = text.substr(begin, line.contentEnd - begin);
  if (const void* nul = std::memchr(content.data(), '\0', content.size())) {
    content = content.substr(0, static_cast<const char*>(nul) - content.data());
  }
  const std::string_view meaning = Trim(content);
  line.meaning = meaning;
  if (meaning.empty()) return line;
  if (meaning.front() == ';') {
    line.kind = Kind::kComment;
    return line;
  }
  if (meaning.front() == '[') {
    const size_t close = meaning.rfind(']');
    if (close != std::string_view::npos && close > 0) {
      line.kind = Kind::kSection;
      line.name = Trim(meaning.substr(1, close - 1));
      return line;
    }
  }
  const size_t equals = meaning.find('=');
  if (equals == std::string_view::npos) {
    line.kind = Kind::kOther;
    return line;
  }
  line.kind = Kind::kKey;
  line.name = Trim(meaning.substr(0, equals));
  const std::string_view value = Trim(meaning.substr(equals + 1));
  // Offsets of the trimmed value; an empty value sits right after '=' and its blanks.
  line.valueBegin = value.empty()
                        ? static_cast<size_t>(meaning.data() + meaning.size() - text.data())
                        : static_cast<size_t>(value.data() - text.data());
  line.valueEnd = line.valueBegin + value.size();
  return line;
}

}  // namespace platform::ini
