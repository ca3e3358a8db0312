// The parts of an inspection, each adding what it finds to the report, and
// the few helpers they share.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "archiver/archiver_runner.h"
#include "platform/clock.h"
#include "settings/ini_file.h"
#include "tools/check/checker.h"
#include "tools/check/report.h"

namespace check {

// The file's bytes; nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

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

// Text read from the settings file is UTF-8; the file system wants its own
// encoding, which std::filesystem converts to from UTF-8 explicitly.
inline std::filesystem::path FsPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

}  // namespace check
