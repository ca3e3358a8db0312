// The program's text (UTF-8) as a std::filesystem path and back, for code
// that works on paths with the standard library: on POSIX through the
// system's code page, so a path holding bytes that are not valid in it
// names the file it names (platform/codepage.h); on Windows through UTF-16.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

std::filesystem::path FileSystemPath(std::string_view utf8);
std::string PathText(const std::filesystem::path& path);

}  // namespace platform
