// Little- and big-endian fields and CRC-32, for the binary formats of the
// corpus.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace corpus {

void Le16(std::string& out, uint32_t value);
void Le32(std::string& out, uint32_t value);
void Le64(std::string& out, uint64_t value);
void Be16(std::string& out, uint32_t value);
void Be32(std::string& out, uint32_t value);
// CRC-32 as in ZIP, gzip and PNG.
uint32_t Crc32(std::string_view bytes, uint32_t crc = 0);

}  // namespace corpus
