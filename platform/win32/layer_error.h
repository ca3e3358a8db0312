// How the archiver libraries' file layer on Windows reports a failure: as
// platform::Error in the ANSI code page, the code page of the libraries'
// messages, naming what failed, the path and FormatMessage's reason, e.g.
// "cannot read C:\save\a.lzh: The process cannot access the file because it
// is being used by another process." For platform/win32/layer_*.cpp.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace platform::win32 {

// The system's text for error, in the ANSI code page.
std::string ReasonText(DWORD error);

// Throws "<what> <path>: <ReasonText(error)>".
[[noreturn]] void ThrowLayerError(std::string_view what, const std::string& path, DWORD error);

// Throws "<what> <path>: it is <kind>, not a regular file".
[[noreturn]] void ThrowNotRegular(std::string_view what, const std::string& path, const char* kind);

}  // namespace platform::win32
