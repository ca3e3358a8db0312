// Compresses arbitrary bytes with lh5 and lh7 and decodes them again with
// libarchive's LHA reader: every member the encoder writes must decode to
// the input exactly.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "lha/memory_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first byte picks the method; the rest is the member's data,
  // stretched by repetition now and then to reach many blocks.
  if (size == 0) return 0;
  const lha::Method& method = (data[0] & 1) ? lha::kLh7 : lha::kLh5;
  std::vector<uint8_t> input(data + 1, data + size);
  if ((data[0] & 14) == 14 && !input.empty()) {
    while (input.size() < 200000) input.insert(input.end(), data + 1, data + size);
  }
  std::vector<uint8_t> archive = lha::CompressToArchive(input, method);
  if (archive.empty()) return 0;  // declined: the data would be stored
  std::vector<uint8_t> decoded;
  std::string error;
  if (!lha::DecodeWithLibarchive(archive, decoded, error) || decoded != input) abort();
  return 0;
}
