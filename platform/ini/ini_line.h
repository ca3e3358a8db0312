// One line of a profile file's text as the INI engine reads it: where it
// starts and ends, what kind of line it is, and the trimmed name and value
// of a header or key; with the name comparisons every lookup shares. For
// the engine's own files (ini_document.cpp, ini_outline.cpp).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform::ini {

enum class Kind { kBlank, kComment, kSection, kKey, kOther };

// One line of the text, as offsets into it.
struct Line {
  size_t begin = 0;
  size_t contentEnd = 0;  // where the line break starts (or the text ends)
  size_t end = 0;         // after the line break
  Kind kind = Kind::kBlank;
  std::string_view meaning;  // the trimmed bytes before any NUL
  std::string_view name;     // section or key name, trimmed
  size_t valueBegin = 0;     // trimmed value of a key, as written
  size_t valueEnd = 0;

  bool HasBreak() const { return end > contentEnd; }
};

bool IsBlank(char c);
// Whether two names are the same: ASCII letters match regardless of case.
bool SameName(std::string_view a, std::string_view b);
// A name with its ASCII letters in lower case: equal for names SameName matches.
std::string FoldedName(std::string_view name);
// Without the blanks and tabs around it.
std::string_view Trim(std::string_view s);
// Where the lines start: after a UTF-8 byte-order mark, if any.
size_t BodyStart(std::string_view text);
// The line that starts at begin.
Line ReadLine(std::string_view text, size_t begin);

}  // namespace platform::ini
