#include "bench/corpus/project.h"

#include <cctype>

#include "bench/corpus/text.h"
#include "bench/corpus/words.h"

namespace corpus {

namespace {

const Zipf& RankTable(size_t n) {
  static std::vector<Zipf> tables;
  for (const Zipf& table : tables) {
    if (table.size() == n) return table;
  }
  tables.emplace_back(n, 2);
  return tables.back();
}

}  // namespace

std::string Camel(std::string_view a, std::string_view b) {
  std::string out(a);
  out += char(std::toupper(uint8_t(b[0])));
  out += b.substr(1);
  return out;
}

std::string Upper(std::string_view text) {
  std::string out;
  for (char c : text)
    out += c == '.' || c == '/' || c == '-' || c == ' ' ? '_' : char(std::toupper(uint8_t(c)));
  return out;
}

Project::Project(std::string_view name) : name_(name) {
  Random random = Random::For(name);
  Prose prose(random, false);
  license_ << "// Copyright " << random.Between(2012, 2022) << "-2024 The " << name
           << " Authors. All rights reserved.\n//\n";
  for (int i = 0; i < 6; ++i) license_ << "// " << prose.Sentence() << "\n";
  license_ << "//\n// SPDX-License-Identifier: " << (random.Percent(50) ? "Apache-2.0" : "MIT")
           << "\n";
  for (int i = 0; i < 160; ++i) {
    std::string id;
    switch (random.Below(4)) {
      case 0:
        id << random.Pick(words::kNouns);
        break;
      case 1: {
        const std::string_view adjective = random.Pick(words::kAdjectives);
        id << Camel(adjective, random.Pick(words::kNouns));
        break;
      }
      case 2:
        id << random.Pick(words::kNouns) << "_" << random.Pick(words::kNouns);
        break;
      default:
        id << random.Pick(words::kNouns) << "_count";
    }
    identifiers_.push_back(id);
  }
  for (int i = 0; i < 40; ++i) {
    std::string type(random.Pick(words::kNouns));
    type[0] = char(std::toupper(uint8_t(type[0])));
    if (random.Percent(40)) type = Camel(type, random.Pick(words::kNouns));
    types_.push_back(type);
  }
  for (const char* builtin : {"int", "size_t", "uint32_t", "bool", "std::string", "uint64_t"}) {
    types_.insert(types_.begin() + random.Below(6), builtin);
  }
  for (int i = 0; i < 120; ++i) {
    const std::string_view verb = random.Pick(words::kVerbsBase);
    functions_.push_back(Camel(verb, random.Pick(words::kNouns)));
  }
}

std::string_view Project::Identifier(Random& random) const {
  return identifiers_[RankTable(identifiers_.size()).Pick(random)];
}
std::string_view Project::Type(Random& random) const {
  return types_[RankTable(types_.size()).Pick(random)];
}
std::string_view Project::Function(Random& random) const {
  return functions_[RankTable(functions_.size()).Pick(random)];
}

}  // namespace corpus
