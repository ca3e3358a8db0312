#include "platform/double_byte.h"

namespace platform {

bool IsDoubleByteCodePage(uint32_t codePage) {
  return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

bool IsLeadByte(unsigned char byte, uint32_t codePage) {
  switch (codePage) {
    case 932:  // Shift_JIS as Windows has it
      return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:  // GBK
    case 949:  // Unified Hangul Code
    case 950:  // Big5
      return byte >= 0x81 && byte <= 0xFE;
    default:
      return false;
  }
}

size_t FindCharacter(std::string_view text, char c, uint32_t codePage, size_t from) {
  // Characters are found from the start of the text: whether a byte is a
  // second byte depends on every byte before it.
  for (size_t i = 0; i < text.size(); ++i) {
    if (i >= from && text[i] == c) return i;
    if (IsLeadByte(static_cast<unsigned char>(text[i]), codePage) && i + 1 < text.size()) ++i;
  }
  return std::string_view::npos;
}

}  // namespace platform
