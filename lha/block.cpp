#include "lha/block.h"

#include <algorithm>
#include <vector>

#include "lha/huffman.h"

namespace lha {

namespace {

constexpr int kLengthTableSpecial = 3;  // after this entry, a 2-bit run of zeros follows
constexpr int kUnarPeekBits = 10;
constexpr int kLibarchiveCacheBits = 64;

void FinishTable(CodeTable& table, const uint32_t* freq) {
  int used = BuildCodeLengths(freq, table.count, kMaxCodeLength, table.lengths);
  table.single = -1;
  if (used < 2) {
    table.single = 0;
    for (int i = 0; i < table.count; ++i) {
      if (freq[i] != 0) table.single = i;
    }
  }
}

void Promote(CodeTable& table, int symbol, std::vector<int>& taken) {
  if (table.single >= 0) return;
  int longest = *std::max_element(table.lengths, table.lengths + table.count);
  if (table.lengths[symbol] == longest) {
    taken.push_back(symbol);
    return;
  }
  for (int i = table.count - 1; i >= 0; --i) {
    if (table.lengths[i] == longest && std::find(taken.begin(), taken.end(), i) == taken.end()) {
      std::swap(table.lengths[i], table.lengths[symbol]);
      taken.push_back(symbol);
      return;
    }
  }
}

void Seal(CodeTable& table, bool withCodes) {
  table.maxLength = 0;
  if (table.single >= 0) return;
  table.maxLength = *std::max_element(table.lengths, table.lengths + table.count);
  if (withCodes) BuildCanonicalCodes(table.lengths, table.count, table.codes);
}

// Visits the character code lengths as the format codes them: each length
// k as code k + 2, runs of zeros as codes 0 (one), 1 (3..18, 4 bits) and
// 2 (20.., 9 bits); a run of 19 is one plus eighteen.
template <typename Visit>
void ForEachLengthCode(const CodeTable& chars, Visit&& visit) {
  int n = chars.count;
  while (n > 0 && chars.lengths[n - 1] == 0) --n;
  for (int i = 0; i < n;) {
    int k = chars.lengths[i++];
    if (k != 0) {
      visit(k + 2, 0, 0);
      continue;
    }
    int run = 1;
    while (i < n && chars.lengths[i] == 0) {
      ++i;
      ++run;
    }
    if (run <= 2) {
      for (int r = 0; r < run; ++r) visit(0, 0, 0);
    } else if (run <= 18) {
      visit(1, 4, run - 3);
    } else if (run == 19) {
      visit(0, 0, 0);
      visit(1, 4, 15);
    } else {
      visit(2, kCharCountBits, run - 20);
    }
  }
}

// Emits a block through `out`, which receives fields (Put) and marks of
// the points where a reader needs bits ahead (Need: how many must remain).
template <typename Out>
void EmitBlock(const Method& method, const BlockPlan& plan, std::span<const Symbol> symbols,
               Out& out) {
  out.Need(kLibarchiveCacheBits);
  out.Put(16, static_cast<uint32_t>(symbols.size()));

  auto putTable = [&](const CodeTable& table, int countBits, int special) {
    if (table.single >= 0) {
      out.Put(countBits, 0);
      out.Put(countBits, table.single);
      return;
    }
    int n = table.count;
    while (n > 0 && table.lengths[n - 1] == 0) --n;
    out.Put(countBits, n);
    for (int i = 0; i < n;) {
      out.Need(kLibarchiveCacheBits);
      int k = table.lengths[i++];
      if (k <= 6) {
        out.Put(3, k);
      } else {
        out.Put(k - 3, (1u << (k - 3)) - 2);  // 7 and up: k-4 ones and a zero
      }
      if (i == special) {
        while (i < 6 && table.lengths[i] == 0) ++i;
        out.Put(2, i - special);
      }
    }
  };

  putTable(plan.lengths, kLengthCountBits, kLengthTableSpecial);
  if (plan.chars.single >= 0) {
    out.Put(kCharCountBits, 0);
    out.Put(kCharCountBits, plan.chars.single);
  } else {
    int n = plan.chars.count;
    while (n > 0 && plan.chars.lengths[n - 1] == 0) --n;
    out.Put(kCharCountBits, n);
    const CodeTable& t = plan.lengths;
    ForEachLengthCode(plan.chars, [&](int code, int extraBits, int extra) {
      out.Need(std::min(t.maxLength, kUnarPeekBits));
      if (t.single < 0) out.Put(t.lengths[code], t.codes[code]);
      if (extraBits != 0) out.Put(extraBits, extra);
    });
  }
  putTable(plan.positions, method.positionCountBits, -1);

  const CodeTable& c = plan.chars;
  const CodeTable& p = plan.positions;
  const int cNeed = std::min(c.maxLength, kUnarPeekBits);
  const int pNeed = std::min(p.maxLength, kUnarPeekBits);
  out.Codes(symbols, plan, cNeed, pNeed);
}

// Writes for real.
struct RealOut {
  BitWriter& w;
  void Put(int count, uint32_t value) { w.Put(count, value); }
  void Need(int) {}
  void Codes(std::span<const Symbol> symbols, const BlockPlan& plan, int, int) {
    const CodeTable& c = plan.chars;
    const CodeTable& p = plan.positions;
    for (const Symbol& s : symbols) {
      w.Put(c.lengths[s.code], c.codes[s.code]);
      if (s.code < 256) continue;
      int pc = PositionCode(s.offset);
      w.Put(p.lengths[pc], p.codes[pc]);
      if (pc > 1) w.Put(pc - 1, s.offset);
    }
  }
};

// Counts bits and records the largest "bits needed from here to the end"
// relative to the block start, so the check needs one pass.
struct MeasureOut {
  uint64_t pos = 0;
  // Each mark as (position, need); the binding one is where pos + need is largest.
  uint64_t reach = 0;
  void Put(int count, uint32_t) { pos += count; }
  void Need(int need) { reach = std::max(reach, pos + need); }
  void Codes(std::span<const Symbol> symbols, const BlockPlan& plan, int cNeed, int pNeed) {
    const CodeTable& c = plan.chars;
    const CodeTable& p = plan.positions;
    for (const Symbol& s : symbols) {
      reach = std::max(reach, pos + cNeed);
      pos += c.lengths[s.code];
      if (s.code < 256) continue;
      int pc = PositionCode(s.offset);
      reach = std::max(reach, pos + pNeed);
      pos += p.lengths[pc];
      if (pc > 1) pos += pc - 1;
    }
  }
};

// Huffman lengths for the literal-and-length and the position codes.
void PlanCodes(const Method& method, const Histogram& counts, BlockPlan& plan) {
  plan.chars.count = kCharCodes;
  plan.positions.count = method.positionCodes;
  plan.lengths.count = kLengthCodes;
  FinishTable(plan.chars, counts.chars);
  FinishTable(plan.positions, counts.positions);
}

// The table that codes the character code lengths, and the canonical
// codes of all three tables unless the plan is only to be measured.
void PlanLengths(BlockPlan& plan, bool withCodes) {
  Seal(plan.chars, withCodes);
  Seal(plan.positions, withCodes);
  uint32_t lengthFreq[kLengthCodes] = {};
  if (plan.chars.single < 0) {
    ForEachLengthCode(plan.chars, [&](int code, int, int) { lengthFreq[code]++; });
  }
  FinishTable(plan.lengths, lengthFreq);
  Seal(plan.lengths, withCodes);
}

}  // namespace

void Histogram::Add(std::span<const Symbol> symbols) {
  for (const Symbol& s : symbols) {
    chars[s.code]++;
    if (s.code >= 256) positions[PositionCode(s.offset)]++;
  }
}

Histogram& Histogram::operator+=(const Histogram& other) {
  for (int i = 0; i < kCharCodes; ++i) chars[i] += other.chars[i];
  for (int i = 0; i < kMaxPositionCodes; ++i) positions[i] += other.positions[i];
  return *this;
}

BlockPlan PlanBlock(const Method& method, std::span<const Symbol> symbols,
                    std::span<const Symbol> promote) {
  Histogram counts;
  counts.Add(symbols);
  BlockPlan plan;
  PlanCodes(method, counts, plan);
  std::vector<int> takenChars, takenPositions;
  for (const Symbol& s : promote) {
    Promote(plan.chars, s.code, takenChars);
    if (s.code >= 256) Promote(plan.positions, PositionCode(s.offset), takenPositions);
  }
  PlanLengths(plan, true);
  return plan;
}

BlockPlan PlanBlock(const Method& method, const Histogram& counts) {
  BlockPlan plan;
  PlanCodes(method, counts, plan);
  PlanLengths(plan, true);
  return plan;
}

uint64_t BlockBits(const Method& method, const Histogram& counts) {
  BlockPlan plan;
  PlanCodes(method, counts, plan);
  PlanLengths(plan, false);
  MeasureOut tables;
  EmitBlock(method, plan, std::span<const Symbol>(), tables);
  uint64_t bits = tables.pos;
  for (int i = 0; i < kCharCodes; ++i) bits += uint64_t{counts.chars[i]} * plan.chars.lengths[i];
  for (int i = 0; i < method.positionCodes; ++i) {
    bits += uint64_t{counts.positions[i]} * (plan.positions.lengths[i] + (i > 1 ? i - 1 : 0));
  }
  return bits;
}

void WriteBlock(const Method& method, const BlockPlan& plan, std::span<const Symbol> symbols,
                BitWriter& out) {
  RealOut real{out};
  EmitBlock(method, plan, symbols, real);
}

bool EndsCleanly(const Method& method, const BlockPlan& plan, std::span<const Symbol> symbols,
                 uint64_t startBit) {
  MeasureOut m;
  EmitBlock(method, plan, symbols, m);
  const uint64_t end = (startBit + m.pos + 7) / 8 * 8;
  return startBit + m.reach <= end;
}

}  // namespace lha
