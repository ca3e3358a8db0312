// Which format the ZIP/7z archiver library writes for an archive name: ZIP
// for a name ending in ".zip" (any letter case), 7z for any other. Shared by
// the library, which chooses by it, and the run's slot plan, which tells it.
#pragma once

#include <string_view>

namespace platform {

inline bool WritesZip(std::string_view archivePath) {
  constexpr std::string_view kZip = ".zip";
  if (archivePath.size() < kZip.size()) return false;
  const std::string_view end = archivePath.substr(archivePath.size() - kZip.size());
  for (size_t i = 0; i < kZip.size(); ++i) {
    const char c = end[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != kZip[i]) return false;
  }
  return true;
}

}  // namespace platform
