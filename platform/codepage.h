// Conversion between the program's text (UTF-8) and the system's multibyte
// code page: the ANSI code page on Windows; on POSIX the codeset of the C
// library's locale taken from the environment, UTF-8 under the plain C locale.
//
// Neither direction fails or loses the rest of the text. A character the
// code page cannot represent becomes '?', never a look-alike (Windows' own
// conversion would turn ¥ into '\', a path separator in code page 932): text
// to show. Text that names something, a path handed to an archiver, goes
// through ToMultiByteExactly, which refuses what it cannot convert exactly.
//
// Bytes that are not valid in the code page:
// - On POSIX file names, command lines and settings are bytes, so ToUtf8 is
//   lossless: each byte it cannot decode is carried in the program's text as
//   an escaped byte (platform/utf8.h: the lone surrogate U+DC80 + (byte -
//   0x80)), and ToMultiByte turns every escaped byte back into that byte. A
//   path read from a settings file therefore reaches the file system and the
//   archivers with exactly the bytes the file holds, whatever they are.
//   Valid text converts as it always did.
// - On Windows such a byte becomes U+FFFD, as the system's conversion does.
// Escaped bytes are not text to show: whatever shows the program's text to a
// person (a log, a terminal, JSON) passes it through platform::Printable.
// Other bytes of the program's text that are not well-formed UTF-8 become
// '?' in the code page, or U+FFFD where the code page is UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

std::string ToMultiByte(std::string_view utf8);
std::string ToUtf8(std::string_view multiByte);

// The first character of utf8 that does not come back from the system's
// code page as it went in (a character the code page lacks), named as
// platform::CharacterName names it; nothing when all of utf8 converts
// exactly. Escaped bytes (POSIX) always do.
std::optional<std::string> CharacterNotInCodePage(std::string_view utf8);

// utf8 in the system's code page, exactly: throws Error "<utf8> cannot be
// written in the system's code page (<name>): it holds <character>, which
// the code page lacks" when CharacterNotInCodePage finds one.
std::string ToMultiByteExactly(std::string_view utf8);

// The offset of each byte of multiByte that is not valid in the system's
// code page (the bytes ToUtf8 escapes on POSIX), in order; empty when all of
// it is valid text.
std::vector<size_t> InvalidBytes(std::string_view multiByte);

}  // namespace platform
