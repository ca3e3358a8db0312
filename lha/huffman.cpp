#include "lha/huffman.h"

#include <algorithm>
#include <array>

namespace lha {

namespace {

// Sorts symbols[0..used) by frequency, keeping the order of equals: a radix
// sort, one pass per byte the largest frequency has. Tables are rebuilt
// often enough for this to beat a comparison sort.
void SortByFrequency(const uint32_t* freq, uint16_t* symbols, int used, uint32_t largest) {
  std::array<uint16_t, kMaxSymbols> spare;
  uint16_t* from = symbols;
  uint16_t* to = spare.data();
  for (int shift = 0; shift < 32 && (largest >> shift) != 0; shift += 8) {
    std::array<int, 257> start{};
    for (int i = 0; i < used; ++i) start[((freq[from[i]] >> shift) & 0xFF) + 1]++;
    for (int b = 0; b < 256; ++b) start[b + 1] += start[b];
    for (int i = 0; i < used; ++i) to[start[(freq[from[i]] >> shift) & 0xFF]++] = from[i];
    std::swap(from, to);
  }
  if (from != symbols) std::copy(from, from + used, symbols);
}

}  // namespace

int BuildCodeLengths(const uint32_t* freq, int count, int maxLength, uint8_t* lengths) {
  // Used symbols, least frequent first (ties by symbol).
  std::array<uint16_t, kMaxSymbols> order;
  int used = 0;
  uint32_t largest = 0;
  for (int i = 0; i < count; ++i) {
    lengths[i] = 0;
    if (freq[i] != 0) {
      order[used++] = static_cast<uint16_t>(i);
      largest = std::max(largest, freq[i]);
    }
  }
  if (used < 2) return used;
  SortByFrequency(freq, order.data(), used, largest);

  // Two-queue Huffman construction: leaves in order, merged nodes in the
  // order they are made (which is also by weight).
  std::array<uint64_t, 2 * kMaxSymbols> weight;
  std::array<int, 2 * kMaxSymbols> parent;
  for (int i = 0; i < used; ++i) weight[i] = freq[order[i]];
  int leaf = 0, node = used, made = used;
  auto takeSmallest = [&]() {
    if (leaf < used && (node >= made || weight[leaf] <= weight[node])) return leaf++;
    return node++;
  };
  while (made < 2 * used - 1) {
    int a = takeSmallest();
    int b = takeSmallest();
    weight[made] = weight[a] + weight[b];
    parent[a] = parent[b] = made;
    ++made;
  }
  // Depths from the root down; nodes were made after their children.
  std::array<int, 2 * kMaxSymbols> depth;
  depth[made - 1] = 0;
  for (int i = made - 2; i >= 0; --i) depth[i] = depth[parent[i]] + 1;

  // Count leaves per length, folding those beyond the limit into it and
  // then lengthening codes until the code is complete again.
  // A depth is below the number of leaves, and maxLength below 32.
  std::array<int, kMaxSymbols + 32> perLength{};
  int deepest = maxLength;
  for (int i = 0; i < used; ++i) {
    perLength[depth[i]]++;
    deepest = std::max(deepest, depth[i]);
  }
  for (int len = maxLength + 1; len <= deepest; ++len) {
    perLength[maxLength] += perLength[len];
    perLength[len] = 0;
  }
  uint64_t kraft = 0;
  for (int len = 1; len <= maxLength; ++len) kraft += uint64_t(perLength[len]) << (maxLength - len);
  while (kraft > (uint64_t{1} << maxLength)) {
    perLength[maxLength]--;
    for (int len = maxLength - 1; len > 0; --len) {
      if (perLength[len] != 0) {
        perLength[len]--;
        perLength[len + 1] += 2;
        break;
      }
    }
    kraft--;
  }
  // Longest codes to the least frequent symbols.
  int next = 0;
  for (int len = maxLength; len >= 1; --len) {
    for (int k = 0; k < perLength[len]; ++k) {
      lengths[order[next++]] = static_cast<uint8_t>(len);
    }
  }
  return used;
}

void BuildCanonicalCodes(const uint8_t* lengths, int count, uint16_t* codes) {
  int perLength[18] = {};
  for (int i = 0; i < count; ++i) perLength[lengths[i]]++;
  uint32_t start[18] = {};
  for (int len = 1; len < 17; ++len) start[len + 1] = (start[len] + perLength[len]) << 1;
  for (int i = 0; i < count; ++i) {
    if (lengths[i] != 0) codes[i] = static_cast<uint16_t>(start[lengths[i]]++);
  }
}

}  // namespace lha
