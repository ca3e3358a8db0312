#include "lha/lzss.h"

#include <algorithm>
#include <cstring>

namespace lha {

namespace {

constexpr size_t kSpan = 256 * 1024;  // new input the window takes between slides
constexpr int kCheapLiterals = 5;     // matches up to this long are checked against literals

inline uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// 16 * log2(x) for x > 0, rounded down, in integers alone so that every
// machine makes the same choices.
uint32_t Log2Sixteenths(uint32_t x) {
  const int whole = 31 - __builtin_clz(x);
  uint64_t y = (uint64_t{x} << 30) >> whole;  // x / 2^whole in [1, 2), 30 fraction bits
  uint32_t result = static_cast<uint32_t>(whole) << 4;
  for (uint32_t bit = 8; bit != 0; bit >>= 1) {
    y = (y * y) >> 30;
    if (y >= (uint64_t{1} << 31)) {
      y >>= 1;
      result |= bit;
    }
  }
  return result;
}

// Length of the common prefix of a and b, at most limit.
inline int CommonLength(const uint8_t* a, const uint8_t* b, int limit) {
  int n = 0;
  while (n + 8 <= limit) {
    uint64_t diff = Load64(a + n) ^ Load64(b + n);
    if (diff != 0) return n + (__builtin_ctzll(diff) >> 3);
    n += 8;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

}  // namespace

Prices::Prices() {
  for (int i = 0; i < 256; ++i) chars[i] = 7 * kOne;
  for (int i = 256; i < kCharCodes; ++i) chars[i] = (6 + (32 - __builtin_clz(i - 255)) / 2) * kOne;
  for (uint16_t& p : positions) p = 4 * kOne;
  perByte = 6 * kOne;
}

void Prices::Guess(const uint8_t* data, size_t size) {
  if (size == 0) return;
  uint32_t count[256] = {};
  for (size_t i = 0; i < size; ++i) count[data[i]]++;
  // A byte's information content, and a bit and a quarter more: literals
  // share their table with the match lengths.
  constexpr uint32_t kShare = kOne + kOne / 4;
  const uint32_t all = Log2Sixteenths(static_cast<uint32_t>(size));
  for (int b = 0; b < 256; ++b) {
    const uint32_t bits = all - Log2Sixteenths(std::max<uint32_t>(count[b], 1)) + kShare;
    chars[b] = static_cast<uint16_t>(std::clamp<uint32_t>(bits, kOne, kMaxCodeLength * kOne));
  }
}

void Prices::Learn(const BlockPlan& plan, const Method& method, uint64_t bits, uint64_t bytes) {
  // A code the block did not use would cost more than its longest one.
  auto learn = [](const CodeTable& t, uint16_t* prices, int count) {
    const int unused = (t.single >= 0 ? 8 : t.maxLength + 2) * kOne;
    for (int i = 0; i < count; ++i) {
      if (t.single >= 0) {
        prices[i] = i == t.single ? kOne : unused;
      } else {
        prices[i] = t.lengths[i] != 0 ? t.lengths[i] * kOne : unused;
      }
    }
  };
  learn(plan.chars, chars, kCharCodes);
  learn(plan.positions, positions, method.positionCodes);
  // A byte more in this match hardly changes what the next code costs, so
  // it is worth more than the block's average cost per byte: about twice.
  if (bytes != 0) {
    perByte = static_cast<uint32_t>(std::clamp<uint64_t>(2 * bits * kOne / bytes, kOne, 16 * kOne));
  }
}

Lzss::Lzss(const Method& method, uint64_t rebaseAt)
    : method_(method),
      window_(1u << method.dictionaryBits),
      hashShift_(32 - method.hashBits),
      buffer_(window_ + kSpan + kMaxMatch + kPadding, 0),
      head_(size_t{1} << method.hashBits, 0),
      prev_(window_, 0),
      head3_(size_t{1} << kHash3Bits, 0),
      rebaseAt_(rebaseAt) {
  Reset();
}

void Lzss::Append(const uint8_t* data, size_t size) {
  std::memcpy(buffer_.data() + fill_, data, size);
  fill_ += size;
  // Only positions with four bytes behind them can be hashed.
  insertable_ = fill_ >= 3 ? base_ + fill_ - 3 : base_;
}

void Lzss::Reset() {
  base_ = position_ = inserted_ = insertable_ = base_ + fill_ + window_;
  fill_ = 0;
  held_ = false;
  prices_ = Prices();
  guessed_ = false;
  if (base_ > rebaseAt_) Rebase();
}

void Lzss::Rebase() {
  // Every position moves down by the same whole number of windows, which
  // changes no distance and no slot of prev_; those that fall below the
  // window become "none".
  const uint64_t shift = (base_ - window_) & ~uint64_t{window_ - 1};
  for (std::vector<uint32_t>* table : {&head_, &prev_, &head3_}) {
    for (uint32_t& entry : *table) entry = entry > shift ? static_cast<uint32_t>(entry - shift) : 0;
  }
  base_ -= shift;
  position_ -= shift;
  inserted_ -= shift;
  insertable_ -= shift;
}

void Lzss::Insert(uint64_t last) {
  if (inserted_ >= last) return;
  const uint8_t* const buffer = buffer_.data();
  uint32_t* const head = head_.data();
  uint32_t* const prev = prev_.data();
  uint32_t* const head3 = head3_.data();
  const uint32_t mask = window_ - 1;
  for (uint64_t p = inserted_; p < last; ++p) {
    uint32_t prefix;
    std::memcpy(&prefix, buffer + (p - base_), 4);
    const uint32_t entry = static_cast<uint32_t>(p + 1);
    head3[Hash3(prefix)] = entry;
    uint32_t& latest = head[Hash4(prefix)];
    prev[p & mask] = latest;
    latest = entry;
  }
  inserted_ = last;
}

Lzss::Match Lzss::Find(uint64_t position, int previousLength) {
  Match none;
  const size_t index = position - base_;
  const int limit = static_cast<int>(std::min<uint64_t>(kMaxMatch, fill_ - index));
  // The last three bytes of a member are left to literals.
  if (limit < 4) return none;
  InsertBefore(position);
  // `longest` rejects candidates quickly; `found` is the one that saves most.
  int longest = std::max(previousLength, kMinMatch - 1);
  int chain = method_.maxChain;
  if (previousLength >= method_.goodLength) chain >>= 2;
  const int nice = std::min(method_.niceLength, limit);
  const uint8_t* here = buffer_.data() + index;
  const uint32_t prefix = Prefix(index);
  Match found;
  int64_t foundGain = 0;
  if (longest < kMinMatch) {
    // The nearest occurrence of the first three bytes: a match of three
    // pays only when near, and a longer one is in the chain as well.
    const uint32_t candidate = head3_[Hash3(prefix)];
    const uint64_t distance = position - (candidate - 1);
    if (candidate != 0 && distance < window_) {
      const uint8_t* there = buffer_.data() + (candidate - 1 - base_);
      if (((Prefix(there - buffer_.data()) ^ prefix) & 0xFFFFFF) == 0) {
        longest = CommonLength(here, there, limit);
        found = Match{longest, static_cast<uint32_t>(distance - 1)};
        foundGain = Gain(found);
        if (longest >= nice) chain = 0;
      }
    }
  }
  // Chain entries are earlier positions + 1, 0 for none. Positions start a
  // window above 0 and stay far below 2^32, so none lies out of reach, as
  // do entries left from earlier input: one test ends the chain.
  const uint8_t* const buffer = buffer_.data();
  const uint32_t* const prev = prev_.data();
  const uint32_t mask = window_ - 1;
  uint32_t candidate = head_[Hash4(prefix)];
  while (chain-- > 0) {
    const uint64_t c = static_cast<uint32_t>(candidate - 1);
    const uint64_t distance = position - c;
    if (distance >= window_) break;
    const uint8_t* there = buffer + (c - base_);
    uint32_t therePrefix;
    std::memcpy(&therePrefix, there, 4);
    if (there[longest] == here[longest] && therePrefix == prefix) {
      int length = CommonLength(here, there, limit);
      if (length > longest) {
        // Nearer candidates came first: a longer one is further back, and
        // its extra bytes must pay for its dearer position.
        longest = length;
        Match m{length, static_cast<uint32_t>(distance - 1)};
        int64_t gain = Gain(m);
        if (found.length == 0 || gain > foundGain) {
          found = m;
          foundGain = gain;
        }
        if (length >= nice) break;
      }
    }
    candidate = prev[c & mask];
  }
  // A short match can cost more than its bytes as literals.
  if (found.length != 0 && found.length <= kCheapLiterals) {
    uint32_t literals = 0;
    for (int i = 0; i < found.length; ++i) literals += prices_.Literal(here[i]);
    if (prices_.Match(found.length, found.offset) >= literals) found.length = 0;
  }
  return found;
}

void Lzss::Parse(bool final, std::vector<Symbol>& out) {
  if (!guessed_) {
    // The first input of a member: its literals are priced by how often
    // each byte occurs in it until a block's tables tell better.
    prices_.Guess(buffer_.data() + (position_ - base_),
                  static_cast<size_t>(base_ + fill_ - position_));
    guessed_ = true;
  }
  // Keep enough input ahead for the longest match at the held position and the next.
  const uint64_t end = base_ + fill_;
  const uint64_t stop = final ? end : (end > kMaxMatch + 1 ? end - kMaxMatch - 1 : 0);
  auto literal = [&](uint64_t p) { out.push_back(Symbol{buffer_[p - base_], 0}); };
  while (position_ < stop) {
    Match current;
    if (!held_ || heldMatch_.length < method_.lazyLength) {
      // A match as long as the held one may still be worth more when nearer.
      current = Find(position_, held_ ? heldMatch_.length - 1 : 0);
    }
    // The held match wins unless a literal and the match here save more,
    // each byte either covers counted at its worth.
    if (held_ && heldMatch_.length >= kMinMatch &&
        (current.length < kMinMatch || Gain(current) + int64_t{prices_.perByte} -
                                               prices_.Literal(buffer_[position_ - 1 - base_]) <=
                                           Gain(heldMatch_))) {
      // The match one byte back wins: it started at position_ - 1.
      out.push_back(Symbol{static_cast<uint16_t>(256 + heldMatch_.length - kMinMatch),
                           static_cast<uint16_t>(heldMatch_.offset)});
      position_ += heldMatch_.length - 1;
      held_ = false;
      continue;
    }
    if (held_) literal(position_ - 1);
    held_ = true;
    heldMatch_ = current;
    ++position_;
  }
  if (final && held_ && position_ == end) {
    if (heldMatch_.length >= kMinMatch) {
      out.push_back(Symbol{static_cast<uint16_t>(256 + heldMatch_.length - kMinMatch),
                           static_cast<uint16_t>(heldMatch_.offset)});
      position_ += heldMatch_.length - 1;
    } else {
      literal(position_ - 1);
    }
    held_ = false;
  }
  if (!final) Slide();
}

void Lzss::Slide() {
  // Keep the window behind the held position and everything ahead of it.
  const uint64_t keepFrom = (held_ ? position_ - 1 : position_);
  const uint64_t from = keepFrom > base_ + window_ ? keepFrom - window_ : base_;
  if (from == base_ || buffer_.size() - kPadding - fill_ > kSpan / 2) return;
  const size_t shift = static_cast<size_t>(from - base_);
  std::memmove(buffer_.data(), buffer_.data() + shift, fill_ - shift);
  fill_ -= shift;
  base_ = from;
  if (base_ > rebaseAt_) Rebase();
}

}  // namespace lha
