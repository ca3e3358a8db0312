// Whether a file can be read as a settings file: there, a regular file (a
// link to one counts), and open for reading. Throws Error "Cannot read
// <path>: <reason>" otherwise. Neither function ever waits on a FIFO or a
// device planted at the name.
#pragma once

#include <string>

namespace platform {

void RequireReadableFile(const std::string& path);

// The bytes of such a file, up to the size it had when opened. Throws Error
// as RequireReadableFile does, or naming the reason a read failed.
std::string ReadRegularFile(const std::string& path);

}  // namespace platform
