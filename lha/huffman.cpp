#include "lha/huffman.h"

#include <algorithm>
#include <vector>

namespace lha {

int BuildCodeLengths(const uint32_t* freq, int count, int maxLength, uint8_t* lengths) {
  std::vector<int> order;  // used symbols, least frequent first
  for (int i = 0; i < count; ++i) {
    lengths[i] = 0;
    if (freq[i] != 0) order.push_back(i);
  }
  const int used = static_cast<int>(order.size());
  if (used < 2) return used;
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return freq[a] < freq[b]; });

  // Two-queue Huffman construction: leaves in order, merged nodes in the
  // order they are made (which is also by weight).
  std::vector<uint64_t> weight(2 * used);
  std::vector<int> parent(2 * used, 0);
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
  std::vector<int> depth(2 * used, 0);
  for (int i = made - 2; i >= 0; --i) depth[i] = depth[parent[i]] + 1;

  // Count leaves per length, folding those beyond the limit into it and
  // then lengthening codes until the code is complete again.
  std::vector<int> perLength(
      std::max(maxLength, *std::max_element(depth.begin(), depth.begin() + used)) + 1, 0);
  for (int i = 0; i < used; ++i) perLength[depth[i]]++;
  for (size_t len = maxLength + 1; len < perLength.size(); ++len) {
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
    for (int k = 0; k < perLength[len]; ++k) lengths[order[next++]] = static_cast<uint8_t>(len);
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
