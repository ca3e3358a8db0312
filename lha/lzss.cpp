#include "lha/lzss.h"

#include <algorithm>
#include <cstring>

namespace lha {

namespace {

constexpr size_t kSpan = 256 * 1024;  // new input the window takes between slides

inline uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
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

// What a match is worth to the lazy choice: each byte it covers against
// each bit its distance takes, weighed 3 to 1 as suits text and code.
inline int Worth(int length, uint32_t offset) {
  return 3 * length - (32 - __builtin_clz(offset + 1));
}
// The next position's match must be worth this much more than the held
// one, which saves the literal it would cost.
constexpr int kLiteralWorth = 2;

}  // namespace

Lzss::Lzss(const Method& method)
    : method_(method),
      window_(1u << method.dictionaryBits),
      hashShift_(32 - method.hashBits),
      buffer_(window_ + kSpan + kMaxMatch + kPadding, 0),
      head_(size_t{1} << method.hashBits, 0),
      prev_(window_, 0) {}

void Lzss::Append(const uint8_t* data, size_t size) {
  std::memcpy(buffer_.data() + fill_, data, size);
  fill_ += size;
}

void Lzss::Reset() {
  // Positions are stored in 32 bits: start over before they run out.
  uint64_t next = base_ + fill_ + window_;
  if (next > (uint64_t{1} << 31)) {
    std::fill(head_.begin(), head_.end(), 0);
    std::fill(prev_.begin(), prev_.end(), 0);
    next = 0;
  }
  base_ = position_ = inserted_ = next;
  fill_ = 0;
  held_ = false;
}

void Lzss::InsertBefore(uint64_t position) {
  // Only positions with three bytes behind them can be hashed.
  const uint64_t last = std::min<uint64_t>(position, base_ + fill_ >= 2 ? base_ + fill_ - 2 : 0);
  for (uint64_t p = inserted_; p < last; ++p) {
    uint32_t& head = head_[Hash(p - base_)];
    prev_[p & (window_ - 1)] = head;
    head = static_cast<uint32_t>(p + 1);
  }
  inserted_ = std::max(inserted_, last);
}

Lzss::Match Lzss::Find(uint64_t position, int previousLength) {
  Match best;
  const size_t index = position - base_;
  const int limit = static_cast<int>(std::min<uint64_t>(kMaxMatch, fill_ - index));
  if (limit < kMinMatch) return best;
  InsertBefore(position);
  best.length = std::max(previousLength, kMinMatch - 1);
  int chain = method_.maxChain;
  if (previousLength >= method_.goodLength) chain >>= 2;
  const int nice = std::min(method_.niceLength, limit);
  const uint8_t* here = buffer_.data() + index;
  uint32_t candidate = head_[Hash(index)];
  Match found;
  while (candidate != 0 && chain-- > 0) {
    const uint64_t c = candidate - 1;
    const uint64_t distance = position - c;
    if (distance >= window_) break;
    const uint8_t* there = buffer_.data() + (c - base_);
    if (there[best.length] == here[best.length] && there[0] == here[0] && there[1] == here[1]) {
      int length = CommonLength(here, there, limit);
      if (length > best.length) {
        best.length = length;
        found.length = length;
        found.offset = static_cast<uint32_t>(distance - 1);
        if (length >= nice) break;
      }
    }
    uint32_t next = prev_[c & (window_ - 1)];
    if (next >= candidate) break;  // chains only go back
    candidate = next;
  }
  if (found.length == kMinMatch && found.offset >= static_cast<uint32_t>(method_.farLength3)) {
    found.length = 0;
  }
  return found;
}

void Lzss::Parse(bool final, std::vector<Symbol>& out) {
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
    if (held_ && heldMatch_.length >= kMinMatch &&
        (current.length < kMinMatch ||
         Worth(current.length, current.offset) <=
             Worth(heldMatch_.length, heldMatch_.offset) + kLiteralWorth)) {
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
}

}  // namespace lha
