// The steps of an inspection, each adding what it finds to the report, and
// the few small functions they share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archiver/archiver_runner.h"
#include "platform/clock.h"
#include "platform/file_path.h"
#include "settings/ini_file.h"
#include "tools/check/checker.h"
#include "tools/check/report.h"

namespace check {

// A settings or log file's text as the INI engine reads it (UTF-16 files
// converted, platform/ini/profile_text.h); nothing when it cannot be read.
std::optional<std::string> ReadProfileText(const std::string& path);

// The file's structure line by line (text in the system's code page, as
// read): sections, keys and lines the run never reads.
void CheckStructure(std::string_view text, Report& report);

// Each slot as the run plans it, and what the disk says will become of it.
void PredictSlots(clsIniFile& settings, const platform::LocalTime& now,
                  Unlha32::ArchiverRunner& archivers, const Options& options, Report& report);

// What earlier runs recorded and left behind: the newest entries of the
// records, a run holding the lock, folders and temporary files an
// interrupted run left.
void ReadRecords(clsIniFile& settings, const platform::LocalTime& now, Report& report);

// Text read from the settings file is the program's text; the file system
// wants its own encoding, which the platform converts to as the run does.
inline std::filesystem::path FsPath(const std::string& text) {
  return platform::FileSystemPath(text);
}

inline std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

// ASCII letters lowered and every other byte kept, so that no multibyte
// character is split: for names compared without regard to letter case.
std::string LowerCase(std::string text);

// "a; b; c", then "; and N more" when count says the list was cut short.
std::string Listed(const std::vector<std::string>& items, uint64_t count);

// A finding added to the report; line 0 when it is about no one line.
void Problem(Report& report, std::string code, std::string section, std::string key,
             std::string message, std::string action, size_t line = 0);
void Note(Report& report, std::string code, std::string section, std::string key,
          std::string message, std::string action = "");

}  // namespace check
