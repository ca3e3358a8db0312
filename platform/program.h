// Where the running executable lives: its folder (no trailing separator) and
// its file name without extension, and the separator the platform joins
// paths with.
#pragma once

#include <string>

namespace platform {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

struct ProgramPath {
  std::string directory;
  std::string baseName;
};

ProgramPath GetProgramPath();

}  // namespace platform
