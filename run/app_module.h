// The backup run: reads slotbackup.ini beside the executable, archives each
// configured slot's target folder into the save folder, records failed
// archiver runs in "Error_LOG" and any other error in the error log.
#pragma once

#include <cstdint>
#include <string>

namespace AppModule {

// Exit statuses of a run, for schedulers.
inline constexpr int kRunSucceeded = 0;
inline constexpr int kRunEndedByError = 1;    // one entry in the error log
inline constexpr int kArchiverRunFailed = 2;  // one or more "Error_LOG" entries

// The whole run, from reading the settings to the last slot. Never throws.
int Main();

// Sets a folder's attribute word first unless intAttributes is -1, then
// returns the word as read. Throws platform::Error when no folder is at
// strPath or the word does not fit in 16 bits.
int16_t FolderAttributes(const std::string& strPath, const int16_t& intAttributes);

}  // namespace AppModule
