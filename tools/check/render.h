// A report in the two forms slotbackup-check prints: plain words for people
// and JSON for scripts.
#pragma once

#include <cstdint>
#include <string>

#include "tools/check/report.h"

namespace check {

// UTF-8 text, lines ended by '\n'; control characters from the file are
// shown as '?' so that nothing it holds can steer the terminal, and bytes
// that are not text as \xNN.
std::string TextReport(const Report& report);

// One JSON object and a line break.
std::string JsonReport(const Report& report);

// The pieces of the plain-words form. Control characters as '?' (a tab as
// two blanks), and whatever is not well-formed UTF-8 named or replaced
// (platform/utf8.h).
std::string Printable(const std::string& text);
// text broken between words into lines of 79 columns at most (a single
// long word, such as a path, keeps its own line), the first line starting
// with first and the others indented as far; ends with a line break.
std::string Wrapped(const std::string& first, const std::string& text);
// "1,234,567".
std::string WithCommas(uint64_t n);

}  // namespace check
