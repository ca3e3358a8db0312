// Which format the ZIP/7z archiver library writes for an archive name: ZIP
// for a name ending in ".zip" (any letter case), 7z for any other; and the
// largest file LHA holds. Shared by the libraries, which act by them, and the
// run's slot plan and slotbackup-check, which tell them.
#pragma once

#include <cstdint>
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

// The largest file an LHA archive holds: its headers' sizes are 32 bits
// wide. A larger file is left out of an LHA archive before any of it is read,
// and slotbackup-check says so beforehand.
inline constexpr uint64_t kLhaLargestFile = 0xFFFFFFFFull;

}  // namespace platform
