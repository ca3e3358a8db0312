// Little-endian fields, as both archive formats store their numbers: Put*
// appends to a byte container (std::string or std::vector<uint8_t>), Get*
// reads from raw bytes.
#pragma once

#include <cstdint>

namespace archlib {

template <class Bytes>
void Put16(Bytes& out, uint16_t v) {
  using Byte = typename Bytes::value_type;
  out.push_back(static_cast<Byte>(v & 0xFF));
  out.push_back(static_cast<Byte>(v >> 8));
}
template <class Bytes>
void Put32(Bytes& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v & 0xFFFF));
  Put16(out, static_cast<uint16_t>(v >> 16));
}
template <class Bytes>
void Put64(Bytes& out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v & 0xFFFFFFFFu));
  Put32(out, static_cast<uint32_t>(v >> 32));
}

inline uint16_t Get16(const unsigned char* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t Get32(const unsigned char* p) {
  return Get16(p) | static_cast<uint32_t>(Get16(p + 2)) << 16;
}
inline uint64_t Get64(const unsigned char* p) {
  return Get32(p) | static_cast<uint64_t>(Get32(p + 4)) << 32;
}

}  // namespace archlib
