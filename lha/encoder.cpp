#include "lha/encoder.h"

#include <algorithm>
#include <span>

namespace lha {

Encoder::Encoder(const Method& method, ByteSink sink)
    : method_(method), lzss_(method), out_(std::move(sink)) {
  symbols_.reserve(kGroupCodes + kHoldBack);
}

void Encoder::Begin() {
  lzss_.Reset();
  out_.Reset();
  symbols_.clear();
  input_ = 0;
}

void Encoder::Write(const uint8_t* data, size_t size) {
  input_ += size;
  while (size > 0) {
    size_t n = std::min(size, lzss_.Room());
    lzss_.Append(data, n);
    data += n;
    size -= n;
    if (lzss_.Room() == 0) {
      lzss_.Parse(false, symbols_);
      WriteFullBlocks();
    }
  }
}

namespace {

using Run = Encoder::Run;

// Chooses how to cut a row of runs into blocks: whole, or each half cut in
// the same way, whichever takes fewer bits. Appends the chosen blocks;
// returns their bits.
uint64_t CutBlocks(const Method& method, const Run* runs, size_t count, std::vector<Run>& blocks) {
  Run whole = runs[0];
  for (size_t i = 1; i < count; ++i) {
    whole.codes += runs[i].codes;
    whole.counts += runs[i].counts;
  }
  const uint64_t wholeBits = BlockBits(method, whole.counts);
  if (count > 1) {
    std::vector<Run> halves;
    const uint64_t halvesBits = CutBlocks(method, runs, count / 2, halves) +
                                CutBlocks(method, runs + count / 2, count - count / 2, halves);
    if (halvesBits < wholeBits) {
      blocks.insert(blocks.end(), halves.begin(), halves.end());
      return halvesBits;
    }
  }
  blocks.push_back(whole);
  return wholeBits;
}

}  // namespace

std::vector<Encoder::Run> Encoder::Cut(size_t codes) const {
  // Parts of kPartCodes; the last takes what remains beyond them.
  const size_t count = codes / kPartCodes;
  std::vector<Run> parts(count);
  for (size_t i = 0; i < count; ++i) {
    parts[i].codes = i + 1 < count ? kPartCodes : codes - i * kPartCodes;
    parts[i].counts.Add(std::span(symbols_).subspan(i * kPartCodes, parts[i].codes));
  }
  std::vector<Run> blocks;
  CutBlocks(method_, parts.data(), count, blocks);
  return blocks;
}

void Encoder::WriteFront(const std::vector<Run>& blocks) {
  size_t done = 0;
  for (const Run& run : blocks) {
    const uint64_t start = out_.BitCount();
    std::span<const Symbol> block(symbols_.data() + done, run.codes);
    const BlockPlan plan = PlanBlock(method_, run.counts);
    WriteBlock(method_, plan, block, out_);
    Learn(plan, block, out_.BitCount() - start);
    done += run.codes;
  }
  symbols_.erase(symbols_.begin(), symbols_.begin() + static_cast<ptrdiff_t>(done));
}

void Encoder::WriteFullBlocks() {
  while (symbols_.size() >= kGroupCodes + kHoldBack) WriteFront(Cut(kGroupCodes));
}

bool Encoder::Finish() {
  lzss_.Parse(true, symbols_);
  WriteFullBlocks();
  if (symbols_.empty()) return false;
  // What remains is cut as a group is, its last block written apart.
  if (symbols_.size() >= 2 * kPartCodes) {
    std::vector<Run> blocks = Cut(symbols_.size());
    blocks.pop_back();
    WriteFront(blocks);
  }
  if (!WriteLastBlock()) return false;
  out_.Finish();
  return true;
}

bool Encoder::WriteLastBlock() {
  // Try the block as parsed, then with its last bytes as literals (which
  // lengthens the block's end), each with and without its last codes made
  // the longest of their tables.
  const uint64_t start = out_.BitCount();
  for (size_t literalBytes : {0, 16, 64, 256, 1024}) {
    std::vector<Symbol> block = symbols_;
    if (literalBytes > 0) {
      size_t covered = 0;
      while (!block.empty() && covered < literalBytes) {
        const Symbol& s = block.back();
        covered += s.code < 256 ? 1 : s.code - 256 + kMinMatch;
        block.pop_back();
      }
      const uint8_t* tail = lzss_.Tail(covered);
      for (size_t i = 0; i < covered; ++i) block.push_back(Symbol{tail[i], 0});
      if (block.size() > kMaxBlockCodes) break;
    }
    for (size_t promoted : {0, 1, 2}) {
      promoted = std::min(promoted, block.size());
      std::span<const Symbol> last(block.data() + block.size() - promoted, promoted);
      BlockPlan plan = PlanBlock(method_, block, last);
      if (EndsCleanly(method_, plan, block, start)) {
        WriteBlock(method_, plan, block, out_);
        Learn(plan, block, out_.BitCount() - start);
        return true;
      }
    }
  }
  return false;
}

void Encoder::Learn(const BlockPlan& plan, std::span<const Symbol> block, uint64_t bits) {
  uint64_t bytes = 0;
  for (const Symbol& s : block) bytes += s.code < 256 ? 1 : s.code - 256 + kMinMatch;
  lzss_.LearnPrices(plan, bits, bytes);
}

}  // namespace lha
