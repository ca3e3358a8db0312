// Statements of C-family code in a project's vocabulary: declarations,
// calls, assignments, branches and loops, the idioms every function of a
// project repeats, and comments; in C++ or in C as the kernel writes it.
#pragma once

#include <string>

#include "bench/corpus/project.h"
#include "bench/corpus/random.h"
#include "bench/corpus/text.h"

namespace corpus {

class CodeWriter {
 public:
  // Nested blocks are indented by indent; cpp chooses C++ over C.
  CodeWriter(Random& random, const Project& project, std::string indent, bool cpp);

  std::string Expression();
  std::string Call();
  std::string Condition();
  // The lines every function of a project repeats: checks, locks, logging.
  std::string Idiom();
  // statements statements at depth, with nested blocks.
  void Block(std::string& out, int depth, int statements);
  std::string Pad(int depth) const;

  Prose& prose() { return prose_; }

 private:
  Random& random_;
  const Project& project_;
  Prose prose_;
  std::string indent_;
  bool cpp_;
};

// sentences sentences of prose wrapped below 90 columns, each line starting
// with pad and lead ("// ", " * ").
std::string Comment(Prose& prose, const std::string& pad, const char* lead, int sentences);

}  // namespace corpus
