// Compressing one member's data with lh5 or lh7, streamed: input is handed
// in pieces of any size and compressed bytes leave through a sink, so a
// file of any size needs only the window and a few blocks of codes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "lha/bit_writer.h"
#include "lha/block.h"
#include "lha/lzss.h"
#include "lha/method.h"

namespace lha {

class Encoder {
 public:
  Encoder(const Method& method, ByteSink sink);

  // Starts a member. The window and tables are reused between members, but
  // a member's bytes depend on its data alone.
  void Begin();
  void Write(const uint8_t* data, size_t size);

  // Writes the last block and pads the last byte. Returns false when no
  // ending was found that every reader accepts (possible only for tiny or
  // degenerate input); the caller then stores the data instead.
  bool Finish();

  uint64_t InputBytes() const { return input_; }
  // Compressed bytes produced so far (all of them after Finish).
  uint64_t OutputBytes() const { return (out_.BitCount() + 7) / 8; }

  // Codes in a row, and how often each occurs among them.
  struct Run {
    size_t codes = 0;
    Histogram counts;
  };

 private:
  // Codes are written in groups of equal parts; a group is cut into blocks
  // of whole parts where tables of their own make the codes shorter than
  // one table for all.
  static constexpr size_t kGroupParts = 12;
  static constexpr size_t kPartCodes = 4096;
  static constexpr size_t kGroupCodes = kGroupParts * kPartCodes;
  // A group is written once this many codes follow it, so the last block
  // never gets too short to end the member well.
  static constexpr size_t kHoldBack = 2048;

  // Blocks for the first `codes` symbols, cut where tables of their own
  // take fewer bits.
  std::vector<Run> Cut(size_t codes) const;
  // Writes the blocks from the first symbol on and drops their symbols.
  void WriteFront(const std::vector<Run>& blocks);
  void WriteFullBlocks();
  bool WriteLastBlock();
  // Prices the next codes by the tables of a block just written, which
  // took `bits` for its symbols.
  void Learn(const BlockPlan& plan, std::span<const Symbol> block, uint64_t bits);

  const Method& method_;
  Lzss lzss_;
  BitWriter out_;
  std::vector<Symbol> symbols_;
  uint64_t input_ = 0;
};

}  // namespace lha
