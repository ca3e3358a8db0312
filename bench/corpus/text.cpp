#include "bench/corpus/text.h"

#include <cctype>
#include <map>

#include "bench/corpus/words.h"

namespace corpus {

namespace {

const words::List& EnglishList(char placeholder) {
  switch (placeholder) {
    case 'N':
    case 'S':
      return words::kNouns;
    case 'A':
      return words::kAdjectives;
    case 'P':
      return words::kVerbsPast;
    case 'V':
      return words::kVerbsPresent;
    case 'B':
      return words::kVerbsBase;
    case 'D':
      return words::kAdverbs;
    case 'R':
      return words::kPrepositions;
    case 'C':
      return words::kConnectors;
    default:
      return words::kNames;
  }
}

const words::List& JapaneseList(char placeholder) {
  switch (placeholder) {
    case 'N':
      return words::kJapaneseNouns;
    case 'V':
      return words::kJapaneseVerbs;
    case 'E':
      return words::kJapaneseEndings;
    case 'A':
      return words::kJapaneseAdjectives;
    case 'D':
      return words::kJapaneseAdverbs;
    default:
      return words::kJapaneseNames;
  }
}

// Frequent words first: rank i is drawn with weight 1 / (i + 2).
std::string_view Draw(Random& random, const words::List& list) {
  static std::map<size_t, Zipf> tables;
  auto table = tables.find(list.size());
  if (table == tables.end()) table = tables.emplace(list.size(), Zipf(list.size(), 2)).first;
  return list[table->second.Pick(random)];
}

bool IsPlaceholder(char c) {
  return std::string_view("NSAPVBDRCK#Y").find(c) != std::string_view::npos;
}

}  // namespace

Prose::Prose(Random& random, bool japanese) : random_(random), japanese_(japanese) {
  const words::List& nouns = japanese ? words::kJapaneseNouns : words::kNouns;
  for (int i = 0; i < 8; ++i) topic_.push_back(random_.Pick(nouns));
}

std::string Prose::Noun() {
  if (random_.Percent(30)) return std::string(random_.Pick(topic_));
  return std::string(Draw(random_, japanese_ ? words::kJapaneseNouns : words::kNouns));
}

std::string Prose::English() {
  const std::string_view pattern = random_.Pick(words::kEnglishPatterns);
  std::string out;
  size_t start = 0;
  while (start < pattern.size()) {
    size_t end = pattern.find(' ', start);
    if (end == std::string_view::npos) end = pattern.size();
    const std::string_view token = pattern.substr(start, end - start);
    if (!out.empty()) out += ' ';
    if (IsPlaceholder(token[0]) && (token.size() == 1 || !std::isalpha(uint8_t(token[1])))) {
      const char p = token[0];
      if (p == '#') {
        out += std::to_string(random_.Between(2, random_.Percent(70) ? 20 : 999));
      } else if (p == 'Y') {
        out += std::to_string(random_.Between(2015, 2024));
      } else if (p == 'N' || p == 'S') {
        out += Noun();
        if (p == 'S') out += out.back() == 'y' ? "s" : (out.back() == 's' ? "es" : "s");
      } else {
        out += Draw(random_, EnglishList(p));
      }
      out += token.substr(1);
    } else {
      out += token;
    }
    start = end + 1;
  }
  out[0] = char(std::toupper(uint8_t(out[0])));
  return out;
}

std::string Prose::Japanese() {
  const std::string_view pattern = random_.Pick(words::kJapanesePatterns);
  std::string out;
  for (char c : pattern) {
    switch (c) {
      case 'N':
        out += Noun();
        break;
      case '#':
        out += std::to_string(random_.Between(2, random_.Percent(70) ? 12 : 500));
        break;
      case 'Y':
        out += std::to_string(random_.Between(2018, 2024));
        break;
      case 'M':
        out += std::to_string(random_.Between(1, 12));
        break;
      case 'T':
        out += std::to_string(random_.Between(1, 28));
        break;
      case 'V':
      case 'E':
      case 'A':
      case 'D':
      case 'K':
        out += Draw(random_, JapaneseList(c));
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Prose::Sentence() {
  return japanese_ ? Japanese() : English();
}

std::string Prose::Paragraph() {
  std::string out;
  const uint64_t sentences = random_.Between(2, 7);
  for (uint64_t i = 0; i < sentences; ++i) {
    if (i > 0 && !japanese_) out += ' ';
    out += Sentence();
  }
  return out;
}

std::string Prose::Title() {
  std::string out;
  if (japanese_) {
    out << Noun() << "の" << Noun();
    if (random_.Percent(50)) out += "について";
    return out;
  }
  const uint64_t n = random_.Between(2, 5);
  for (uint64_t i = 0; i < n; ++i) {
    std::string word = i % 2 == 0 ? Noun() : std::string(Draw(random_, words::kAdjectives));
    word[0] = char(std::toupper(uint8_t(word[0])));
    if (i > 0) out += ' ';
    out += word;
  }
  return out;
}

std::string Wrap(const std::string& text, size_t width) {
  std::string out;
  size_t line = 0, start = 0;
  while (start < text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const size_t length = end - start;
    if (line > 0 && line + 1 + length > width) {
      out += '\n';
      line = 0;
    } else if (line > 0) {
      out += ' ';
      ++line;
    }
    out.append(text, start, length);
    line += length;
    start = end + 1;
  }
  return out;
}

std::string TextDocument(Random& random, bool japanese, size_t bytes) {
  Prose prose(random, japanese);
  const char* newline = random.Percent(30) ? "\r\n" : "\n";
  std::string out = prose.Title() + newline + newline;
  int section = 0;
  while (out.size() < bytes) {
    if (random.Percent(25)) {
      out += std::to_string(++section) + ". " + prose.Title() + newline;
    }
    if (random.Percent(15)) {
      const uint64_t items = random.Between(2, 6);
      for (uint64_t i = 0; i < items; ++i) {
        out += (japanese ? "・" : "  - ") + prose.Sentence() + newline;
      }
    } else {
      std::string paragraph = prose.Paragraph();
      if (!japanese) paragraph = Wrap(paragraph, 76);
      if (newline[0] == '\r') {
        std::string crlf;
        for (char c : paragraph) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        paragraph = crlf;
      }
      out += paragraph + newline;
    }
    out += newline;
  }
  return out;
}

std::string Markdown(Random& random, size_t bytes) {
  Prose prose(random, false);
  std::string out = "# " + prose.Title() + "\n\n";
  while (out.size() < bytes) {
    switch (random.Below(6)) {
      case 0:
        out += "## " + prose.Title() + "\n\n";
        break;
      case 1: {
        const uint64_t items = random.Between(2, 5);
        for (uint64_t i = 0; i < items; ++i) {
          out << (random.Percent(30) ? "- [ ] " : "- ") << prose.Sentence() << "\n";
        }
        out += "\n";
        break;
      }
      case 2:
        out << "See [the " << prose.Noun() << " notes](https://intranet.example.com/"
            << prose.Noun() << "/" << random.Between(100, 9999) << ") and `" << prose.Noun() << "_"
            << prose.Noun() << ".txt`.\n\n";
        break;
      default:
        out += Wrap(prose.Paragraph(), 80) + "\n\n";
    }
  }
  return out;
}

}  // namespace corpus
