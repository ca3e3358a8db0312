// Reads a settings file the way the backup run reads it, through the run's
// own slot plan (run/slot_plan.h), and works out what the next run will do
// with it, what it will fail at, ignore or harm, and what earlier runs
// recorded or left behind.
#pragma once

#include <chrono>
#include <string>

#include "archiver/archiver_runner.h"
#include "platform/clock.h"
#include "tools/check/report.h"

namespace check {

struct Options {
  // How long walking the targets may take in all; zero walks none.
  std::chrono::milliseconds walkTime = std::chrono::seconds(30);
};

// Archive names are expanded as of now. The archiver libraries are loaded
// (never called) through archivers, as the run loads them. Only probes the
// disk: the single thing it creates is a short-lived empty file that tells
// whether a folder can be written, removed again at once; it takes the run
// lock for a moment when no run holds it.
Report Inspect(const std::string& settingsPath, const platform::LocalTime& now,
               Unlha32::ArchiverRunner& archivers, const Options& options = {});

}  // namespace check
