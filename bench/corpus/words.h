// The vocabularies the corpus's text is made of: English words by part of
// speech and Japanese words, each list roughly in order of frequency, and
// sentence patterns that put them together.
#pragma once

#include <string_view>
#include <vector>

namespace corpus::words {

using List = std::vector<std::string_view>;

extern const List kNouns, kAdjectives, kVerbsPast, kVerbsPresent, kVerbsBase, kAdverbs,
    kPrepositions, kConnectors, kNames;
// Patterns: N noun, S plural noun, A adjective, P past verb, V present verb,
// B base verb, D adverb, R preposition, C connector, K name, # number, Y year.
extern const List kEnglishPatterns;

extern const List kJapaneseNouns, kJapaneseVerbs, kJapaneseEndings, kJapaneseAdjectives,
    kJapaneseAdverbs, kJapaneseNames;
// N noun, V verb stem, E ending, A adjective, D adverb, K name, # number,
// Y year, M month, T day.
extern const List kJapanesePatterns;

}  // namespace corpus::words
