// The two compression methods this library writes, each described by its
// parameters: the sliding-dictionary size, the position-code table of the
// block format, and the match finder's tuning. Everything else is shared.
#pragma once

#include <cstdint>

namespace lha {

// Codes of the block format common to both methods.
inline constexpr int kMinMatch = 3;                                 // shortest match stored
inline constexpr int kMaxMatch = 256;                               // longest match stored
inline constexpr int kCharCodes = 256 + kMaxMatch - kMinMatch + 1;  // literals and lengths: 510
inline constexpr int kCharCountBits = 9;                            // field holding a count of them
inline constexpr int kLengthCodes = 19;                             // codes describing code lengths
inline constexpr int kLengthCountBits = 5;
inline constexpr int kMaxCodeLength = 16;
inline constexpr int kMaxBlockCodes = 0xFFFF;  // codes per block: 16-bit field
inline constexpr int kMaxPositionCodes = 17;   // of the largest window, 64 KB

struct Method {
  char id[6];             // as stored in the header, e.g. "-lh5-"
  int dictionaryBits;     // the decoder's window: 1 << dictionaryBits bytes
  int positionCodes;      // position-code symbols: dictionaryBits + 1
  int positionCountBits;  // field holding a count of them
  // Match finder tuning: a deeper chain finds better matches more slowly.
  int hashBits;    // of the 4-byte prefixes whose chains are searched
  int maxChain;    // candidates examined at most per position
  int goodLength;  // a match this long quarters the search for the next one
  int niceLength;  // a match this long ends the search at once
  int lazyLength;  // a match this long is taken without looking one byte further
};

inline constexpr Method kLh5{"-lh5-", 13, 14, 4, 15, 48, 64, 128, 128};
inline constexpr Method kLh7{"-lh7-", 16, 17, 5, 16, 48, 64, 128, 128};

}  // namespace lha
