// A seeded pseudo-random generator whose output is the same on every machine
// and compiler: the benchmark corpus is built from it, byte for byte. It is
// xoshiro256** seeded through splitmix64; nothing here uses the standard
// library's distributions, whose results differ between implementations, nor
// floating point.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace corpus {

class Random {
 public:
  explicit Random(uint64_t seed);
  // Seeded from a name, so that each file's bytes depend on its own name
  // only and not on what was made before it.
  static Random For(std::string_view name);

  uint64_t Next();
  // Uniform in [0, n); n > 0.
  uint64_t Below(uint64_t n);
  // Uniform in [low, high].
  uint64_t Between(uint64_t low, uint64_t high) { return low + Below(high - low + 1); }
  bool Percent(unsigned percent) { return Below(100) < percent; }
  void Fill(std::string& out, size_t bytes);
  template <typename T>
  const T& Pick(const std::vector<T>& items) {
    return items[Below(items.size())];
  }

 private:
  uint64_t s_[4];
};

// FNV-1a over bytes: names to seeds and to fixed timestamps.
uint64_t Fnv1a(std::string_view bytes);

// Picks index i of n with weight 1 / (i + offset): word frequencies fall off
// with rank as in natural text (Zipf's law). Integer weights only.
class Zipf {
 public:
  Zipf(size_t n, uint64_t offset);
  size_t Pick(Random& random) const;
  size_t size() const { return cumulative_.size(); }

 private:
  std::vector<uint64_t> cumulative_;
};

// Text is built with <<, whose operands C++17 evaluates from left to right:
// a chain of calls that draw random numbers gives the same bytes with every
// compiler. The operands of + and the arguments of a call have no such order,
// so no expression may hold two calls that draw.
template <typename T>
std::string& operator<<(std::string& out, const T& value) {
  if constexpr (std::is_same_v<T, char>) {
    out += value;
  } else if constexpr (std::is_integral_v<T>) {
    out += std::to_string(value);
  } else {
    out += std::string_view(value);
  }
  return out;
}

}  // namespace corpus
