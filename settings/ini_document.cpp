#include "settings/ini_document.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace settings::ini {
namespace {

constexpr size_t kNone = std::string_view::npos;

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

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

char FoldCase(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

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

// Names as written into the file: trimmed, and on one line.
std::string OneLine(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
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
    if (close != kNone && close > 0) {
      line.kind = Kind::kSection;
      line.name = Trim(meaning.substr(1, close - 1));
      return line;
    }
  }
  const size_t equals = meaning.find('=');
  if (equals == kNone) {
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

// The start of the next section header line at or after pos, which must be
// the start of a line. Looks for '[' with memchr and checks that only blanks
// precede it on its line, so a section full of keys is skipped quickly.
size_t NextHeader(std::string_view text, size_t pos) {
  const size_t bodyStart = BodyStart(text);
  while (pos < text.size()) {
    const void* found = std::memchr(text.data() + pos, '[', text.size() - pos);
    if (found == nullptr) return kNone;
    const size_t bracket = static_cast<const char*>(found) - text.data();
    size_t lineStart = bracket;
    while (lineStart > bodyStart && IsBlank(text[lineStart - 1])) --lineStart;
    if (lineStart == bodyStart || text[lineStart - 1] == '\n' || text[lineStart - 1] == '\r') {
      const Line line = ReadLine(text, lineStart);
      if (line.kind == Kind::kSection) return lineStart;
      pos = line.end;
    } else {
      pos = bracket + 1;
    }
  }
  return kNone;
}

// The first header at or after pos of a section named section (trimmed).
std::optional<Line> FindSection(std::string_view text, std::string_view section, size_t pos) {
  for (size_t at = NextHeader(text, pos); at != kNone;) {
    const Line header = ReadLine(text, at);
    if (SameName(header.name, section)) return header;
    at = NextHeader(text, header.end);
  }
  return std::nullopt;
}

// The header of the first section named section. The section with the empty
// name always exists: the lines before the first header, under a header of
// no bytes at the start of the body.
std::optional<Line> FirstSection(std::string_view text, std::string_view section) {
  section = Trim(section);
  if (section.empty()) {
    Line start;
    start.begin = start.contentEnd = start.end = BodyStart(text);
    start.kind = Kind::kSection;
    return start;
  }
  return FindSection(text, section, BodyStart(text));
}

// Calls visit(line) for each line after header up to the next header.
template <typename Visit>
void ForEachLineIn(std::string_view text, const Line& header, Visit visit) {
  for (size_t pos = header.end; pos < text.size();) {
    const Line line = ReadLine(text, pos);
    if (line.kind == Kind::kSection) return;
    if (!visit(line)) return;
    pos = line.end;
  }
}

// Where a section ends: the start of the next header, or the end of the text.
size_t SectionEnd(std::string_view text, const Line& header) {
  const size_t next = NextHeader(text, header.end);
  return next == kNone ? text.size() : next;
}

std::string_view FirstBreak(std::string_view text) {
  for (size_t pos = BodyStart(text); pos < text.size();) {
    const Line line = ReadLine(text, pos);
    if (line.HasBreak()) return text.substr(line.contentEnd, line.end - line.contentEnd);
    pos = line.end;
  }
  return "\r\n";
}

}  // namespace

std::string_view Unquoted(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

PartialLookup FindValueInStart(std::string_view start, std::string_view section,
                               std::string_view key, size_t from) {
  PartialLookup lookup;
  // Only a search from the start finds the section with the empty name,
  // which is why a lookup of it resumes there.
  const std::optional<Line> header =
      from == 0 ? FirstSection(start, section)
                : FindSection(start, Trim(section), std::max(from, BodyStart(start)));
  if (!header) {
    lookup.resume = start.size();
    return lookup;
  }
  lookup.resume = header->begin == header->end ? 0 : header->begin;
  key = Trim(key);
  size_t pos = header->end;
  ForEachLineIn(start, *header, [&](const Line& line) {
    pos = line.end;
    if (line.kind == Kind::kKey && SameName(line.name, key)) {
      lookup.value = Unquoted(start.substr(line.valueBegin, line.valueEnd - line.valueBegin));
      return false;
    }
    return true;
  });
  // Stopped before the end: at the key, or at the header of the next section.
  lookup.settled = lookup.value.has_value() || pos < start.size();
  return lookup;
}

std::optional<std::string_view> FindValue(std::string_view text, std::string_view section,
                                          std::string_view key) {
  return FindValueInStart(text, section, key).value;
}

std::vector<std::string_view> SectionNames(std::string_view text) {
  std::vector<std::string_view> names;
  for (size_t at = NextHeader(text, BodyStart(text)); at != kNone;) {
    const Line header = ReadLine(text, at);
    if (!header.name.empty()) names.push_back(header.name);
    at = NextHeader(text, header.end);
  }
  return names;
}

std::vector<std::string_view> KeyNames(std::string_view text, std::string_view section) {
  std::vector<std::string_view> names;
  const std::optional<Line> header = FirstSection(text, section);
  if (!header) return names;
  std::unordered_set<std::string> seen;
  ForEachLineIn(text, *header, [&](const Line& line) {
    if (line.kind == Kind::kKey && seen.insert(FoldedName(line.name)).second) {
      names.push_back(line.name);
    }
    return true;
  });
  return names;
}

std::vector<std::string> SectionLines(std::string_view text, std::string_view section) {
  std::vector<std::string> lines;
  const std::optional<Line> header = FirstSection(text, section);
  if (!header) return lines;
  ForEachLineIn(text, *header, [&](const Line& line) {
    if (line.kind == Kind::kKey) {
      std::string entry(line.name);
      entry += '=';
      entry += text.substr(line.valueBegin, line.valueEnd - line.valueBegin);
      lines.push_back(std::move(entry));
    } else if (line.kind == Kind::kOther) {
      lines.emplace_back(line.meaning);
    }
    return true;
  });
  return lines;
}

std::string Applied(std::string_view text, const Splices& splices) {
  std::string out;
  size_t growth = 0;
  for (const Splice& splice : splices) growth += splice.replacement.size();
  out.reserve(text.size() + growth);
  size_t kept = 0;
  for (const Splice& splice : splices) {
    out.append(text.substr(kept, splice.begin - kept));
    out.append(splice.replacement);
    kept = splice.end;
  }
  out.append(text.substr(kept));
  return out;
}

Splices SetValue(std::string_view text, std::string_view section, std::string_view key,
                 std::string_view value) {
  const std::string sectionName = OneLine(Trim(section));
  const std::string keyName = OneLine(Trim(key));
  const std::string newValue = OneLine(value);
  const std::string entry = keyName + "=" + newValue;

  const std::optional<Line> header = FirstSection(text, sectionName);
  if (!header) {
    const std::string_view brk = FirstBreak(text);
    const std::string block = "[" + sectionName + "]" + std::string(brk) + entry;
    const bool endsInBreak =
        text.size() <= BodyStart(text) || text.back() == '\n' || text.back() == '\r';
    // Keep the file's habit: with a final line break, so does the new last line.
    return {Splice{text.size(), text.size(),
                   endsInBreak ? block + std::string(brk) : std::string(brk) + block}};
  }

  std::optional<Line> existing;
  Line anchor = *header;  // the last non-blank line of the section
  ForEachLineIn(text, *header, [&](const Line& line) {
    if (line.kind == Kind::kKey && SameName(line.name, keyName)) {
      existing = line;
      return false;
    }
    if (line.kind != Kind::kBlank) anchor = line;
    return true;
  });

  if (existing) {
    if (text.substr(existing->valueBegin, existing->valueEnd - existing->valueBegin) == newValue) {
      return {};
    }
    return {Splice{existing->valueBegin, existing->valueEnd, newValue}};
  }
  if (anchor.HasBreak() || anchor.begin == anchor.end) {
    // After the anchor, ended like it; first in the section with the empty
    // name when it has no lines, ended like the file's first line.
    const std::string_view brk =
        anchor.HasBreak() ? text.substr(anchor.contentEnd, anchor.end - anchor.contentEnd)
                          : FirstBreak(text);
    return {Splice{anchor.end, anchor.end, entry + std::string(brk)}};
  }
  // The anchor is the file's last line and has no line break: keep it that way.
  return {Splice{anchor.end, anchor.end, std::string(FirstBreak(text)) + entry}};
}

Splices DeleteKey(std::string_view text, std::string_view section, std::string_view key) {
  Splices cuts;
  const std::optional<Line> header = FirstSection(text, section);
  if (!header) return cuts;
  key = Trim(key);
  ForEachLineIn(text, *header, [&](const Line& line) {
    if (line.kind == Kind::kKey && SameName(line.name, key)) {
      cuts.push_back(Splice{line.begin, line.end, {}});
    }
    return true;
  });
  return cuts;
}

Splices DeleteSection(std::string_view text, std::string_view section) {
  section = Trim(section);
  Splices cuts;
  for (std::optional<Line> header = FirstSection(text, section); header;) {
    const size_t end = SectionEnd(text, *header);
    if (end > header->begin) cuts.push_back(Splice{header->begin, end, {}});
    header = FindSection(text, section, end);
  }
  return cuts;
}

}  // namespace settings::ini

namespace settings::ini {

bool NamesMatch(std::string_view a, std::string_view b) {
  return SameName(Trim(a), Trim(b));
}

std::vector<OutlineLine> Outline(std::string_view text) {
  std::vector<OutlineLine> outline;
  // The lines before the first header are the first section with the empty
  // name, so a header "[]" is a later one.
  std::unordered_set<std::string> sections{""};
  std::unordered_set<std::string> keys;  // of the current section
  std::string_view section;
  bool sectionRead = true;
  size_t number = 1;
  for (size_t pos = BodyStart(text); pos < text.size(); ++number) {
    const Line line = ReadLine(text, pos);
    pos = line.end;
    OutlineLine out;
    out.number = number;
    out.text = line.meaning;
    switch (line.kind) {
      case Kind::kBlank:
        out.kind = LineKind::kBlank;
        break;
      case Kind::kComment:
        out.kind = LineKind::kComment;
        break;
      case Kind::kSection:
        out.kind = LineKind::kSection;
        section = line.name;
        sectionRead = sections.insert(FoldedName(line.name)).second;
        keys.clear();
        break;
      case Kind::kKey:
        out.kind = LineKind::kKey;
        out.value = text.substr(line.valueBegin, line.valueEnd - line.valueBegin);
        break;
      case Kind::kOther:
        out.kind = LineKind::kOther;
        break;
    }
    out.name = line.name;
    out.section = section;
    out.read =
        sectionRead && (line.kind != Kind::kKey || keys.insert(FoldedName(line.name)).second);
    outline.push_back(out);
  }
  return outline;
}

size_t LineNumberAt(std::string_view text, size_t offset) {
  size_t number = 1;
  for (size_t pos = BodyStart(text); pos < text.size(); ++number) {
    pos = ReadLine(text, pos).end;
    if (offset < pos) break;
  }
  return number;
}

}  // namespace settings::ini
