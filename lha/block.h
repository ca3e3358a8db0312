// One block of the lh5/lh7 format: the count of codes, three Huffman tables
// (code lengths, literals and lengths, positions) and the codes themselves.
// A plan fixes the tables; it can be measured before it is written, which
// is how the last block of a member is checked against what readers need.
#pragma once

#include <cstdint>
#include <span>

#include "lha/bit_writer.h"
#include "lha/method.h"

namespace lha {

// A literal (code < 256) or a match: code 256 + length - 3 and the offset
// back from the byte before the match (distance - 1).
struct Symbol {
  uint16_t code;
  uint16_t offset;
  bool operator==(const Symbol&) const = default;
};

// The position code of an offset: its bit length.
inline int PositionCode(uint32_t offset) {
  return offset == 0 ? 0 : 32 - __builtin_clz(offset);
}

// One code table; `single` names the only symbol when fewer than two are used.
struct CodeTable {
  int count = 0;
  uint8_t lengths[kCharCodes] = {};
  uint16_t codes[kCharCodes] = {};
  int single = -1;
  int maxLength = 0;
};

// How often each code occurs in some symbols.
struct Histogram {
  uint32_t chars[kCharCodes] = {};
  uint32_t positions[kMaxPositionCodes] = {};

  void Add(std::span<const Symbol> symbols);
  Histogram& operator+=(const Histogram& other);
};

struct BlockPlan {
  CodeTable chars;      // literals and match lengths
  CodeTable positions;  // position codes
  CodeTable lengths;    // codes that describe the character code lengths
};

// Plans the tables for symbols. Each symbol listed in `promote` gets the
// longest code of its tables (by exchanging lengths with another symbol of
// that length), so that the block can end on long codes.
BlockPlan PlanBlock(const Method& method, std::span<const Symbol> symbols,
                    std::span<const Symbol> promote = {});
// Plans the tables for symbols that occur as counted.
BlockPlan PlanBlock(const Method& method, const Histogram& counts);

// The size in bits of a block of symbols that occur as counted, with the
// tables PlanBlock would make for them.
uint64_t BlockBits(const Method& method, const Histogram& counts);

// Writes the block.
void WriteBlock(const Method& method, const BlockPlan& plan, std::span<const Symbol> symbols,
                BitWriter& out);

// Whether a block written from bit `startBit` of a member, as its last
// block, ends the member in a way every known reader accepts:
//  - the block and each code-length entry of its tables start at least 64
//    bits before the end (libarchive refills its 64-bit cache there and
//    fails when the input cannot fill it);
//  - every Huffman code starts at least min(table's longest code, 10) bits
//    before the end (unar peeks that many bits and fails past the end);
// the end being the block's end rounded up to a whole byte.
bool EndsCleanly(const Method& method, const BlockPlan& plan, std::span<const Symbol> symbols,
                 uint64_t startBit);

}  // namespace lha
