// What the run keeps beside the executable, named after it, and the sections
// it writes in them. slotbackup-check reads the same names.
//
//   <program>.ini       the settings; the run adds to "Error_LOG"
//   <program>.log       the error log: "ErrorDescription", "ArchiverMessage",
//                       "Recovery", "Retention"
//   <program>.lock      held by the running run; says which process holds it
//                       and since when
//   <program>.recovery  "ClearedFolder": the folder whose attributes the
//                       running slot has cleared, with the word to restore
#pragma once

#include <string>

namespace AppModule {

std::string SettingsFilePath();
std::string ErrorLogPath();
std::string RunLockPath();
std::string RecoveryFilePath();

// The extensions of the four files.
inline constexpr char kSettingsExtension[] = ".ini";
inline constexpr char kErrorLogExtension[] = ".log";
inline constexpr char kRunLockExtension[] = ".lock";
inline constexpr char kRecoveryExtension[] = ".recovery";

// The file with extension that a run reading settingsPath keeps beside it:
// settingsPath with its extension replaced ("/opt/x/slotbackup.log" for
// "/opt/x/slotbackup.ini"), or added when it has none.
std::string BesideSettings(const std::string& settingsPath, const char* extension);

// In the settings file: one entry per failed archiver run, key = date-time
// text (with " (2)", " (3)", ... when taken), value = the target folder.
inline constexpr char kErrorLogSection[] = "Error_LOG";

// In the error log: the error that ended a run or the signal that stopped it,
// "ModuleName:<module>\tObjectName:<object>\tErrorInfo:<description>".
inline constexpr char kErrorDescriptionSection[] = "ErrorDescription";
// In the error log: why an archiver run failed, under the key of its
// "Error_LOG" entry, "Target:<folder>\tMessage:<the archiver's message>", and
// "\tNotInError_LOG:<reason>" when the "Error_LOG" entry could not be written.
inline constexpr char kArchiverMessageSection[] = "ArchiverMessage";
// In the error log: what a run did about what an interrupted run, or an
// archiver process that crashed or was stopped, left behind:
// "Restored:<folder>\tAttributes:<word>\tInterruptedRun:<holder>",
// "Dropped:<folder>\tAttributes:<word>\tReason:<why it could not be restored>",
// "RemovedTemporaryFile:<path>\tBytes:<size>", and
// "NotRemoved:<path>\tBytes:<size>\tReason:<why>".
inline constexpr char kRecoverySection[] = "Recovery";
// In the error log: the old archives a slot's run removed to keep the newest
// "BackUP_Keep" of them, "Removed:<path>\tSlot:<key>\tBytes:<size>", and
// what kept it from removing them:
// "NotRemoved:<path>\tSlot:<key>\tReason:<why>",
// "NotListed:<folder>\tSlot:<key>\tReason:<why>".
inline constexpr char kRetentionSection[] = "Retention";

// In the recovery file: key = slot key, value = "<attribute word> <folder>".
inline constexpr char kClearedFolderSection[] = "ClearedFolder";

}  // namespace AppModule
