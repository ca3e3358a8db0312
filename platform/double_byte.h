// Names in a double-byte code page, byte by byte: in code page 932 the
// bytes 0x5C ('\') and 0x7C ('|') are also the second bytes of characters
// such as 表 (95 5C), ソ (83 5C), 能 (94 5C) and ポ (83 7C), so code that looks
// for a separator in such a name must step over whole characters. Pure code,
// the same on every system: an archive's code page is not the system's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace platform {

// Whether codePage has characters of two bytes (932, 936, 949, 950).
bool IsDoubleByteCodePage(uint32_t codePage);

// Whether byte starts a character of two bytes in codePage.
bool IsLeadByte(unsigned char byte, uint32_t codePage);

// The offset of the first c at or after `from` in text that is a character
// of its own, never the second byte of a double-byte character in
// codePage; npos when there is none. A lead byte that ends the text is a
// character of its own.
size_t FindCharacter(std::string_view text, char c, uint32_t codePage, size_t from = 0);

}  // namespace platform
