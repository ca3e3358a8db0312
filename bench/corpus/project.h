// A software project the corpus's source files belong to: its name, its
// license header, and the identifiers, types and functions its files share,
// frequent ones first, as a real code base repeats its own vocabulary.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "bench/corpus/random.h"

namespace corpus {

class Project {
 public:
  // name seeds everything the project's files share.
  explicit Project(std::string_view name);
  const std::string& name() const { return name_; }
  const std::string& license() const { return license_; }
  // Identifiers and types, frequent ones first.
  std::string_view Identifier(Random& random) const;
  std::string_view Type(Random& random) const;
  std::string_view Function(Random& random) const;

 private:
  std::string name_, license_;
  std::vector<std::string> identifiers_, types_, functions_;
};

// a followed by b with its first letter raised: "maxCount".
std::string Camel(std::string_view a, std::string_view b);
// text in capitals, with '.', '/', '-' and ' ' as '_', as macros are named.
std::string Upper(std::string_view text);

}  // namespace corpus
