// Conversion between the program's text (UTF-8) and the system's multibyte
// code page: the ANSI code page on Windows; on POSIX the codeset of the C
// library's locale taken from the environment, UTF-8 under the plain C locale.
//
// Neither direction fails or loses the rest of the text: a character the code
// page cannot represent becomes '?', as Windows' own conversion does, and a
// byte that is not valid in the source encoding becomes U+FFFD where the
// target is UTF-8 and '?' otherwise.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::string ToMultiByte(std::string_view utf8);
std::string ToUtf8(std::string_view multiByte);

}  // namespace platform
