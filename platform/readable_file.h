// Whether a file can be read as a settings file: there, a regular file (a
// link to one counts), and open for reading. Throws Error "Cannot read
// <path>: <reason>" otherwise.
#pragma once

#include <string>

namespace platform {

void RequireReadableFile(const std::string& path);

}  // namespace platform
