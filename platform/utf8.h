// Checking UTF-8 text byte by byte, for code that must repair or escape
// what is not well formed, and the escaped bytes of platform/codepage.h: on
// POSIX a byte that is not valid in the system's code page is carried in the
// program's text as the lone surrogate U+DC80 + (byte - 0x80), encoded as
// the three bytes ED B2 80 to ED B3 BF, which well-formed UTF-8 never holds.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Length of the well-formed UTF-8 sequence at the start of text (1 to 4), or
// 0 when the bytes there are not one: a stray continuation byte, an overlong
// form, a surrogate, a code point beyond U+10FFFF, or a sequence cut short.
size_t Utf8SequenceLength(std::string_view text);

// The code point of the well-formed sequence at the start of text, of
// length Utf8SequenceLength(text) (which must not be 0).
char32_t CodePoint(std::string_view text);

// Appends code point c (at most U+10FFFF) to out as UTF-8; a surrogate is
// encoded like any other code point (for escapes only).
void AppendUtf8(std::string& out, char32_t c);

// Appends code point c to out as UTF-16 (a surrogate pair beyond U+FFFF);
// a surrogate or anything beyond U+10FFFF becomes U+FFFD.
void AppendUtf16(std::u16string& out, char32_t c);

// Appends the escape that carries byte (0x80 to 0xFF) in the program's text.
void AppendEscapedByte(std::string& out, unsigned char byte);
// The length of an escaped byte (3 bytes of text); the byte that the escape
// at the start of text stands for, or nothing when there is none.
inline constexpr size_t kEscapedByteLength = 3;
std::optional<unsigned char> EscapedByte(std::string_view text);

// The program's text made fit to show a person (a log, a terminal, JSON):
// each escaped byte becomes the four characters \xNN (NN its value in upper
// case hexadecimal) and each byte that is not well-formed UTF-8 becomes
// U+FFFD, so the result is always well-formed UTF-8 and names every byte.
std::string Printable(std::string_view text);

// The character at the start of text as a message names it: itself and its
// code point, "¥ (U+00A5)"; an escaped byte or a byte that is not
// well-formed UTF-8 as Printable shows it, "\xE9".
std::string CharacterName(std::string_view text);

}  // namespace platform
