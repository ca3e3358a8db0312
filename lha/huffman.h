// Huffman code lengths limited to a maximum, and the canonical codes the
// LHA block format derives from them (shorter codes first, then by symbol).
#pragma once

#include <cstdint>

namespace lha {

inline constexpr int kMaxSymbols = 512;  // count may be up to this

// Sets lengths[0..count) for the frequencies freq[0..count): 0 for unused
// symbols, otherwise at most maxLength, forming a complete prefix code.
// With fewer than two used symbols every length is 0 (the block format
// then names the one symbol instead of a code). Returns the number of used
// symbols.
int BuildCodeLengths(const uint32_t* freq, int count, int maxLength, uint8_t* lengths);

// Sets codes[i] for every symbol with a non-zero length.
void BuildCanonicalCodes(const uint8_t* lengths, int count, uint16_t* codes);

}  // namespace lha
