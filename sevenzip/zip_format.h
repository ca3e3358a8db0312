// Record signatures of the ZIP format, shared by the writer and the reader
// that checks what it wrote.
#pragma once

#include <cstdint>

namespace sevenzip {

inline constexpr uint32_t kLocalSignature = 0x04034b50;
inline constexpr uint32_t kCentralSignature = 0x02014b50;
inline constexpr uint32_t kEndSignature = 0x06054b50;
inline constexpr uint32_t kZip64EndSignature = 0x06064b50;
inline constexpr uint32_t kZip64LocatorSignature = 0x07064b50;

}  // namespace sevenzip
