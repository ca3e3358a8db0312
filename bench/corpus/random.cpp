#include "bench/corpus/random.h"

#include <algorithm>

namespace corpus {

namespace {

uint64_t SplitMix64(uint64_t& state) {
  uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

uint64_t Rotl(uint64_t x, int k) {
  return (x << k) | (x >> (64 - k));
}

}  // namespace

Random::Random(uint64_t seed) {
  for (uint64_t& word : s_) word = SplitMix64(seed);
}

Random Random::For(std::string_view name) {
  return Random(Fnv1a(name));
}

uint64_t Random::Next() {
  const uint64_t result = Rotl(s_[1] * 5, 7) * 9;
  const uint64_t t = s_[1] << 17;
  s_[2] ^= s_[0];
  s_[3] ^= s_[1];
  s_[1] ^= s_[2];
  s_[0] ^= s_[3];
  s_[2] ^= t;
  s_[3] = Rotl(s_[3], 45);
  return result;
}

uint64_t Random::Below(uint64_t n) {
  // Rejection keeps every value equally likely.
  const uint64_t limit = UINT64_MAX - UINT64_MAX % n;
  uint64_t x;
  do {
    x = Next();
  } while (x >= limit);
  return x % n;
}

void Random::Fill(std::string& out, size_t bytes) {
  const size_t start = out.size();
  out.resize(start + bytes);
  for (size_t i = 0; i < bytes; i += 8) {
    const uint64_t word = Next();
    for (size_t j = 0; j < 8 && i + j < bytes; ++j) out[start + i + j] = char(word >> (8 * j));
  }
}

uint64_t Fnv1a(std::string_view bytes) {
  uint64_t hash = 0xcbf29ce484222325ULL;
  for (unsigned char c : bytes) hash = (hash ^ c) * 0x100000001b3ULL;
  return hash;
}

Zipf::Zipf(size_t n, uint64_t offset) : cumulative_(n) {
  uint64_t total = 0;
  for (size_t i = 0; i < n; ++i) cumulative_[i] = total += 1000000000ULL / (i + offset);
}

size_t Zipf::Pick(Random& random) const {
  const uint64_t x = random.Below(cumulative_.back());
  return std::upper_bound(cumulative_.begin(), cumulative_.end(), x) - cumulative_.begin();
}

}  // namespace corpus
