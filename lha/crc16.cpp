#include "lha/crc16.h"

#include <array>

namespace lha {

namespace {

// Eight tables let the loop take eight bytes per step.
struct Tables {
  std::array<std::array<uint16_t, 256>, 8> t{};
  constexpr Tables() {
    for (unsigned i = 0; i < 256; ++i) {
      uint16_t c = static_cast<uint16_t>(i);
      for (int k = 0; k < 8; ++k) c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : c >> 1;
      t[0][i] = c;
    }
    for (unsigned i = 0; i < 256; ++i) {
      for (int k = 1; k < 8; ++k) {
        uint16_t prev = t[k - 1][i];
        t[k][i] = static_cast<uint16_t>((prev >> 8) ^ t[0][prev & 0xFF]);
      }
    }
  }
};

constexpr Tables kTables;

}  // namespace

uint16_t Crc16(uint16_t crc, const uint8_t* data, size_t size) {
  const auto& t = kTables.t;
  while (size >= 8) {
    crc = static_cast<uint16_t>(t[7][(crc ^ data[0]) & 0xFF] ^ t[6][((crc >> 8) ^ data[1]) & 0xFF] ^
                                t[5][data[2]] ^ t[4][data[3]] ^ t[3][data[4]] ^ t[2][data[5]] ^
                                t[1][data[6]] ^ t[0][data[7]]);
    data += 8;
    size -= 8;
  }
  while (size-- > 0) crc = static_cast<uint16_t>((crc >> 8) ^ t[0][(crc ^ *data++) & 0xFF]);
  return crc;
}

}  // namespace lha
