#include "bench/corpus/bytes.h"

#include <array>

namespace corpus {

void Le16(std::string& out, uint32_t value) {
  out += char(value & 0xff);
  out += char(value >> 8 & 0xff);
}

void Le32(std::string& out, uint32_t value) {
  Le16(out, value & 0xffff);
  Le16(out, value >> 16);
}

void Le64(std::string& out, uint64_t value) {
  Le32(out, uint32_t(value));
  Le32(out, uint32_t(value >> 32));
}

void Be16(std::string& out, uint32_t value) {
  out += char(value >> 8 & 0xff);
  out += char(value & 0xff);
}

void Be32(std::string& out, uint32_t value) {
  Be16(out, value >> 16);
  Be16(out, value & 0xffff);
}

uint32_t Crc32(std::string_view bytes, uint32_t crc) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (unsigned char b : bytes) crc = table[(crc ^ b) & 0xff] ^ (crc >> 8);
  return ~crc;
}

}  // namespace corpus
