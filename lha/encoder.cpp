#include "lha/encoder.h"

#include <algorithm>
#include <span>

namespace lha {

Encoder::Encoder(const Method& method, ByteSink sink)
    : method_(method), lzss_(method), out_(std::move(sink)) {
  symbols_.reserve(kBlockCodes + kHoldBack);
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

void Encoder::WriteFullBlocks() {
  size_t done = 0;
  while (symbols_.size() - done >= kBlockCodes + kHoldBack) {
    std::span<const Symbol> block(symbols_.data() + done, kBlockCodes);
    const BlockPlan plan = PlanBlock(method_, block);
    const uint64_t start = out_.BitCount();
    WriteBlock(method_, plan, block, out_);
    Learn(plan, block, out_.BitCount() - start);
    done += kBlockCodes;
  }
  symbols_.erase(symbols_.begin(), symbols_.begin() + static_cast<ptrdiff_t>(done));
}

bool Encoder::Finish() {
  lzss_.Parse(true, symbols_);
  WriteFullBlocks();
  if (symbols_.empty()) return false;
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
  prices_.Learn(plan, method_, bits, bytes);
  lzss_.SetPrices(prices_);
}

}  // namespace lha
