// CRC-16 as LHA archives use it (polynomial 0x8005, reflected, initial value
// 0): over every file's data and over each level-2 header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lha {

uint16_t Crc16(uint16_t crc, const uint8_t* data, size_t size);

}  // namespace lha
