// What a run does first about a run that was interrupted (kill -9, a power
// loss, a crash, a signal while it could not finish): give back the
// attributes of the folder it left cleared, and remove the temporary files it
// left. The run lock guarantees that no live run of this installation owns
// them. Each thing done is written to "Recovery" in the error log.
#pragma once

#include <string>
#include <vector>

#include "run/report.h"

namespace AppModule {

// Restores every folder recorded in recoveryFile and removes its record. A
// folder that is gone has nothing to restore: its record is dropped. Throws
// platform::Error when a folder that is there cannot be restored; its record
// then stays, and no slot runs until it can (the run would otherwise take
// the cleared word for the folder's own). interruptedRun names the run that
// left them (the lock file's last holder).
void RestoreClearedFolders(const std::string& recoveryFile, const std::string& interruptedRun,
                           const ReportFiles& report);

// Removes the abandoned temporary files (platform/abandoned.h) in each of
// folders, each folder once: at the start of a run, and after each archiver
// call for what a crashed or stopped archiver process left.
void RemoveAbandonedFiles(const std::vector<std::string>& folders, const ReportFiles& report);

}  // namespace AppModule
