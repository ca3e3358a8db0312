// Conversion between the program's text (UTF-8) and the system's multibyte
// code page: the ANSI code page on Windows; on POSIX the codeset of the C
// library's locale taken from the environment, UTF-8 under the plain C locale.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::string ToMultiByte(std::string_view utf8);
std::string ToUtf8(std::string_view multiByte);

}  // namespace platform
