// How the file layer reports a failure: as platform::Error, whose what() is
// one line naming what failed, the path and the system's reason, e.g.
// "cannot read /save/a.zip: Permission denied". The archiver libraries
// report the same type (archlib::Failure), so a failure of the layer reaches
// their caller's output area as it reaches the program's error log.
#pragma once

#include <string>
#include <string_view>

namespace platform::posix {

// Throws "<what> <path>: <the system's text for error>".
[[noreturn]] void ThrowFileError(std::string_view what, const std::string& path, int error);

}  // namespace platform::posix
