#include "platform/ini/ini_outline.h"

#include <unordered_set>

#include "platform/ini/ini_line.h"

namespace platform::ini {

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

}  // namespace platform::ini
