// Where a person or a scheduler learns of a failure. Every failure ends up
// recorded: a failed archiver run in "Error_LOG" with its reason in the
// error log, an error in the error log; and each one as a line on standard
// error, which cron mails and journald keeps. Nothing is printed on success.
// When a record cannot be written, the line says so and why.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

namespace AppModule {

// Where the records go; the run's own files by default.
struct ReportFiles {
  std::string settingsFile;
  std::string logFile;
  std::FILE* standardError = stderr;
};

// An "ArchiverMessage" entry's value:
// "Target:<folder>\tMessage:<message>[\tNotInError_LOG:<why>]".
struct ArchiverMessage {
  std::string target;
  std::string message;
  std::string notInErrorLog;  // empty when the "Error_LOG" entry was written
};
std::string FormatArchiverMessage(const ArchiverMessage& entry);
// Nothing when value is not of that form.
std::optional<ArchiverMessage> ParseArchiverMessage(const std::string& value);

// Records a failed archiver run of target: "Error_LOG" in the settings file
// (key = when, value = target, exactly as ever), the archiver's message in
// "ArchiverMessage" of the error log under the same key, and one line on
// standard error. When "Error_LOG" cannot be written, the "ArchiverMessage"
// entry is the record and says why. Returns whether the "Error_LOG" entry was
// written. Never throws.
bool RecordFailedSlot(const ReportFiles& files, const std::string& slotKey,
                      const std::string& target, const std::string& message,
                      const std::string& when);

// Records the error that ended the run (or the signal that stopped it) in
// "ErrorDescription" of the error log, and one line on standard error.
// Returns whether the entry was written. Never throws.
bool RecordError(const ReportFiles& files, const std::string& entry, const std::string& description,
                 const std::string& when);

// The description of the exception being handled (call only inside a
// catch block): its what(), or "Unknown error" for one that has none.
std::string DescriptionOfCurrentError();

// Records in "Recovery" of the error log what the run did about an
// interrupted one; on standard error only when that cannot be written.
void RecordRecovery(const ReportFiles& files, const std::string& entry, const std::string& when);

// Records in "Retention" of the error log an old archive removed, or what
// kept the run from removing one. A failure's line (`line`, empty for a
// removal) goes to standard error as well; the entry goes there only when it
// cannot be written.
void RecordRetention(const ReportFiles& files, const std::string& entry, const std::string& when,
                     const std::string& line);

}  // namespace AppModule
