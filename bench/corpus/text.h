// Prose in English and Japanese: sentences from patterns filled with words
// drawn by frequency, each document leaning on a few topic words of its own,
// as real documents do; and the plain-text documents built from it.
#pragma once

#include <string>
#include <vector>

#include "bench/corpus/random.h"

namespace corpus {

class Prose {
 public:
  Prose(Random& random, bool japanese);
  std::string Sentence();
  // A few sentences; English ones are separated by blanks.
  std::string Paragraph();
  // A few words, English ones capitalized.
  std::string Title();
  std::string Noun();

 private:
  std::string English();
  std::string Japanese();

  Random& random_;
  bool japanese_;
  std::vector<std::string_view> topic_;
};

// Breaks text into lines of at most width bytes at blanks (English only).
std::string Wrap(const std::string& text, size_t width);

// A plain-text report, letter or note of about bytes bytes: a title,
// numbered sections and paragraphs, now and then a list.
std::string TextDocument(Random& random, bool japanese, size_t bytes);
// Notes in Markdown: headings, lists, links and code spans.
std::string Markdown(Random& random, size_t bytes);

}  // namespace corpus
