#include "platform/ini/ini_document.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "platform/ini/ini_line.h"

namespace platform::ini {
namespace {

constexpr size_t kNone = std::string_view::npos;

// Names as written into the file: trimmed, and on one line.
std::string OneLine(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
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
    const std::string block = "[" + sectionName + "]" + std::string(brk) + entry + std::string(brk);
    const bool endsInBreak =
        text.size() <= BodyStart(text) || text.back() == '\n' || text.back() == '\r';
    // A last line without its break is ended first, so the section starts a line.
    return {Splice{text.size(), text.size(), endsInBreak ? block : std::string(brk) + block}};
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
  // The anchor is the file's last line and has no line break: it gets one,
  // and so does the new line after it.
  const std::string brk(FirstBreak(text));
  return {Splice{anchor.end, anchor.end, brk + entry + brk}};
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

}  // namespace platform::ini
