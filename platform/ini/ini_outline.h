// A profile file line by line as the INI engine's lookups
// (platform/ini/ini_document.h) read it, for tools that explain a file: what
// each line is and whether a lookup can reach it.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace platform::ini {

// Whether two section or key names are the same name to the engine's lookups:
// ASCII letters match regardless of case.
bool NamesMatch(std::string_view a, std::string_view b);

// Every line of a file as the engine's lookups read it, for tools that explain
// a file line by line.
enum class LineKind { kBlank, kComment, kSection, kKey, kOther };
struct OutlineLine {
  size_t number = 0;  // 1 for the first line
  LineKind kind = LineKind::kBlank;
  // The name of the header above the line (a header's own name); empty
  // before the first header, where the section with the empty name is.
  std::string_view section;
  std::string_view name;   // a header's or key's name, trimmed
  std::string_view value;  // a key's value as written, trimmed, quotes kept
  std::string_view text;   // the line trimmed, up to any NUL
  // Whether a lookup can reach the line: true for the first section of each
  // name (the lines before the first header included) and the lines in it,
  // except a key after the first of its name there.
  bool read = false;
};
std::vector<OutlineLine> Outline(std::string_view text);
// The number Outline gives the line that holds the byte at offset.
size_t LineNumberAt(std::string_view text, size_t offset);

}  // namespace platform::ini
