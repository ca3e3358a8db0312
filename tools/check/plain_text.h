// The pieces of slotbackup-check's plain-words form: text made safe to
// print, lines wrapped at 79 columns, and counts written for people.
#pragma once

#include <cstdint>
#include <string>

namespace check {

// Control characters as '?' (a tab as two blanks), and whatever is not
// well-formed UTF-8 named or replaced (platform/utf8.h).
std::string Printable(const std::string& text);
// text broken between words into lines of 79 columns at most (a single
// long word, such as a path, keeps its own line), the first line starting
// with first and the others indented as far; ends with a line break.
std::string Wrapped(const std::string& first, const std::string& text);
// "1,234,567".
std::string WithCommas(uint64_t n);
// "1 file", "1,234 files".
std::string Counted(uint64_t n, const char* one, const char* many);

}  // namespace check
