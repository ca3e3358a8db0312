// Reads a settings file the way the backup run reads it, through clsIniFile,
// and works out what the next run will do with it, what it will fail at or
// ignore, and which failures earlier runs recorded.
#pragma once

#include <cstddef>
#include <string>

#include "platform/clock.h"
#include "tools/check/report.h"

namespace check {

// How many of the newest "Error_LOG" entries a report keeps.
inline constexpr size_t kNewestErrorLogEntries = 5;

// Archive names are expanded as of now. Only probes the disk: the single
// thing it creates is a short-lived empty file that tells whether a folder
// can be written, removed again at once.
Report Inspect(const std::string& settingsPath, const platform::LocalTime& now);

// The error log the run keeps beside its settings file: the same name with
// the extension ".log".
std::string LogPathFor(const std::string& settingsPath);

}  // namespace check
