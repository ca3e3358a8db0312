// Reading a written archive back with an independent decoder (libarchive's
// LHA reader) before it replaces anything: every member must decode, in
// order, to the size and CRC-16 it was written with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lha {

struct ExpectedMember {
  uint64_t size = 0;
  uint16_t crc = 0;
  bool decode = true;  // false for carried members in methods the reader lacks
};

// Throws archlib::Failure describing the first difference.
void VerifyArchive(const std::string& path, const std::vector<ExpectedMember>& expected);

}  // namespace lha
