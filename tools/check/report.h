// What slotbackup-check learns about a settings file: the next run's plan,
// the findings about what that run will fail at or ignore, and what earlier
// runs recorded or left behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/check/target_survey.h"

namespace check {

enum class Severity {
  kProblem,  // something the file asks for will fail, be ignored or do harm
  kNote,     // worth knowing, but the run does what the file asks
};

struct Finding {
  Severity severity = Severity::kProblem;
  std::string code;     // a stable word for scripts, such as "unknown-section"
  std::string section;  // where in the file; empty when not about one line
  std::string key;
  size_t line = 0;      // the line of the settings file; 0 when not about one
  std::string message;  // plain words, whole sentences
  std::string action;   // what to do about it, one sentence; may be empty
};

// How a slot with a target and a name ends in the next run.
enum class Outcome {
  kArchive,     // the archiver runs, then the fixed-name copy if any
  kNoArchiver,  // the archive type runs no archiver
  kFails,       // the slot fails and is recorded in "Error_LOG"
  kEndsRun,     // an error ends the run at this slot
  kNotReached,  // an earlier slot ended the run
};

// "archive", "no-archiver", "fails", "ends-run", "not-reached".
const char* OutcomeName(Outcome outcome);

// One "key=value" line of a record section.
struct Entry {
  std::string key;
  std::string value;
  std::string reason;  // for an "Error_LOG" entry: the archiver's message, when logged
};

// The list of what the last run could not read, kept beside the slot's
// newest archive.
struct MissingList {
  std::string path;
  uint64_t count = 0;
  std::vector<std::string> entries;  // the first few
};

struct PlannedSlot {
  std::string key;
  std::string target;
  std::string nameTemplate;
  std::string name;          // the template expanded now
  std::string format;        // "LHA", "ZIP" or "7z"; empty when no archiver runs
  std::string constantName;  // empty when the slot has no fixed name
  Outcome outcome = Outcome::kArchive;
  // What walking the target found, when it was walked.
  std::optional<check::TargetSurvey> walk;
  // The newest "Error_LOG" entry of this target, with its reason.
  std::optional<Entry> lastFailure;
  // How many archives the run keeps (0: every one), and the archives now in
  // the save folder that the next run removes after writing its own.
  uint64_t keep = 0;
  std::vector<std::string> removes;
  // What the newest archive lacks, when its run left entries out.
  std::optional<MissingList> missing;
};

struct Report {
  std::string settingsPath;
  bool readable = false;
  std::string readError;  // why the file cannot be read

  std::string savePath;
  std::string archiveType;  // upper-cased, as the run compares it
  std::vector<PlannedSlot> slots;
  std::vector<Finding> findings;

  int errorLogCount = 0;
  std::vector<Entry> newestErrorLog;  // newest first
  std::string logPath;
  int logCount = 0;
  std::optional<Entry> newestLogEntry;
  int recoveryCount = 0;
  std::vector<Entry> newestRecovery;  // newest first
  int retentionCount = 0;
  std::vector<Entry> newestRetention;  // newest first
};

// How many of the newest entries of each record a report keeps.
inline constexpr size_t kNewestEntries = 5;

inline constexpr int kAllWillBeDone = 0;
inline constexpr int kSomethingFailsOrIsIgnored = 1;
inline constexpr int kCannotRead = 2;

int ExitStatus(const Report& report);

}  // namespace check
