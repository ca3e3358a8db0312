// Where an archive's list of what its last run could not read lives: a
// text file beside the archive, "<archive name>.missing.txt", in the
// system's code page as the archiver's messages are (the locale's codeset
// on POSIX, the ANSI code page on Windows, as Notepad opens it). The
// archiver libraries write it when a command leaves entries out and remove
// it when a later command archives everything; the run's retention removes
// it with its archive, and slotbackup-check shows it.
#pragma once

#include <string>
#include <string_view>

namespace platform {

inline constexpr std::string_view kMissingListSuffix = ".missing.txt";

inline std::string MissingListName(std::string_view archivePath) {
  return std::string(archivePath) + std::string(kMissingListSuffix);
}

}  // namespace platform
