// The backup run: reads slotbackup.ini beside the executable, archives each
// configured slot's target folder into the save folder, records failed
// archiver runs in "Error_LOG" and any other error in the error log.
#pragma once

#include <cstdint>
#include <string>

namespace AppModule {

// Exit statuses of a run, for schedulers.
inline constexpr int kRunSucceeded = 0;
// An error ended the run, or a failed archiver run could not be recorded in
// "Error_LOG": see the error log (or standard error when that could not be
// written either).
inline constexpr int kRunEndedByError = 1;
inline constexpr int kArchiverRunFailed = 2;  // one or more "Error_LOG" entries
// A signal stopped the run: 128 + its number (143 for SIGTERM), with an
// "ErrorDescription" entry.
inline constexpr int kInterruptedBase = 128;

// The whole run, from taking the run lock to the last slot. Never throws.
int Main();

// Sets a folder's attribute word first unless intAttributes is -1, then
// returns the word as read. Throws platform::Error when no folder is at
// strPath or the word does not fit in 16 bits.
int16_t FolderAttributes(const std::string& strPath, const int16_t& intAttributes);

}  // namespace AppModule
