// The LZSS parse: a sliding window over the input, hash chains of 4-byte
// prefixes to find earlier occurrences (and the latest occurrence of each
// 3-byte prefix, for the shortest matches, which pay only when near), and
// lazy matching (a match is deferred by one byte when the next position
// offers a better one).
// Choices are weighed by what each code costs under the Huffman tables of
// the latest block written, so near and far, long and short matches are
// compared in the bits they will really take.
// Input is taken in pieces; memory is the window and its chains.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "lha/block.h"
#include "lha/method.h"

namespace lha {

// Cost in sixteenths of a bit of each code, and what covering one more
// input byte with a match is worth.
struct Prices {
  static constexpr int kOne = 16;  // one bit
  uint16_t chars[kCharCodes];
  uint16_t positions[kMaxPositionCodes];
  uint32_t perByte;

  // Costs before any block was written: a guess that suits text and code.
  Prices();
  // Literal costs guessed from how often each byte occurs in data.
  void Guess(const uint8_t* data, size_t size);
  // Costs under a block's tables, `bits` long for `bytes` of input.
  void Learn(const BlockPlan& plan, const Method& method, uint64_t bits, uint64_t bytes);

  uint32_t Literal(uint8_t byte) const { return chars[byte]; }
  uint32_t Match(int length, uint32_t offset) const {
    int pc = PositionCode(offset);
    return chars[256 + length - kMinMatch] + positions[pc] + (pc > 1 ? (pc - 1) * kOne : 0);
  }
};

class Lzss {
 public:
  // Positions are kept in 32 bits; past `rebaseAt` they are moved down.
  explicit Lzss(const Method& method, uint64_t rebaseAt = uint64_t{1} << 31);

  // Starts a new, independent input. Earlier input can no longer be
  // matched: its positions lie more than a window behind the new ones, and
  // prices start from the same guess, so what an input becomes does not
  // depend on what came before it.
  void Reset();

  // Bytes the window can take now (always > 0 after Parse).
  size_t Room() const { return buffer_.size() - kPadding - fill_; }
  // Appends input; size <= Room().
  void Append(const uint8_t* data, size_t size);
  // Parses what the window holds into symbols, keeping back the bytes a
  // longer match might still need unless `final` (no input follows).
  // Makes room for more input.
  void Parse(bool final, std::vector<Symbol>& out);

  // The costs that guide the choice of codes from now on, instead of the
  // guess from the input.
  void SetPrices(const Prices& prices) {
    prices_ = prices;
    guessed_ = true;
  }
  // Prices the next codes by the tables of a block just written, `bits`
  // long for `bytes` of input.
  void LearnPrices(const BlockPlan& plan, uint64_t bits, uint64_t bytes) {
    prices_.Learn(plan, method_, bits, bytes);
  }

  // The last `count` input bytes (count <= 1024, all input parsed).
  const uint8_t* Tail(size_t count) const { return buffer_.data() + fill_ - count; }

 private:
  static constexpr size_t kPadding = 8;  // lets comparisons read whole words
  static constexpr int kHash3Bits = 14;
  struct Match {
    int length = 0;
    uint32_t offset = 0;
  };
  uint32_t Prefix(size_t index) const {
    uint32_t v;
    std::memcpy(&v, buffer_.data() + index, 4);
    return v;
  }
  uint32_t Hash4(uint32_t prefix) const { return (prefix * 2654435761u) >> hashShift_; }
  static uint32_t Hash3(uint32_t prefix) {
    return ((prefix << 8) * 2654435761u) >> (32 - kHash3Bits);
  }
  // Adds the positions below `position` to the chains.
  void InsertBefore(uint64_t position) {
    if (position > inserted_) Insert(std::min(position, insertable_));
  }
  void Insert(uint64_t last);
  Match Find(uint64_t position, int previousLength);
  // What a match saves against the worth of the bytes it covers.
  int64_t Gain(const Match& m) const {
    return int64_t{m.length} * prices_.perByte - prices_.Match(m.length, m.offset);
  }
  void Slide();
  void Rebase();

  const Method& method_;
  const uint32_t window_;  // farthest distance back a match may reach, plus one
  const int hashShift_;
  std::vector<uint8_t> buffer_;
  size_t fill_ = 0;              // bytes held
  uint64_t base_ = 0;            // stream position of buffer_[0]
  uint64_t position_ = 0;        // next byte to parse
  uint64_t inserted_ = 0;        // positions below this are in the chains
  uint64_t insertable_ = 0;      // positions below this have four bytes to hash
  std::vector<uint32_t> head_;   // 4-byte hash -> latest position + 1
  std::vector<uint32_t> prev_;   // position % window -> earlier position + 1
  std::vector<uint32_t> head3_;  // 3-byte hash -> latest position + 1
  const uint64_t rebaseAt_;
  // A match found at position_ - 1, waiting to see whether position_ beats it.
  bool held_ = false;
  Match heldMatch_;
  Prices prices_;
  bool guessed_ = false;  // prices_ were guessed or set for this input
};

}  // namespace lha
