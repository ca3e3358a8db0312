// What slotbackup-check learns about a settings file: the next run's plan,
// the findings about what that run will fail at or ignore, and the failures
// earlier runs recorded.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace check {

enum class Severity {
  kProblem,  // something the file asks for will fail or be ignored
  kNote,     // worth knowing, but the run does what the file asks
};

struct Finding {
  Severity severity;
  std::string code;     // a stable word for scripts, such as "unknown-section"
  std::string section;  // where in the file; empty when not about one line
  std::string key;
  std::string message;  // plain words, whole sentences
};

// How a slot with a target and a name ends in the next run.
enum class Outcome {
  kArchive,     // the archiver runs, then the fixed-name copy if any
  kNoArchiver,  // the archive type runs no archiver
  kFails,       // the slot fails and is recorded in "Error_LOG"
  kEndsRun,     // an error ends the run at this slot
  kNotReached,  // an earlier slot ended the run
};

struct PlannedSlot {
  std::string key;
  std::string target;
  std::string nameTemplate;
  std::string name;          // the template expanded now
  std::string format;        // "LHA", "ZIP" or "7z"; empty when no archiver runs
  std::string constantName;  // empty when the slot has no fixed name
  Outcome outcome = Outcome::kArchive;
};

// One "key=value" line of a record section.
struct Entry {
  std::string key;
  std::string value;
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
};

inline constexpr int kAllWillBeDone = 0;
inline constexpr int kSomethingFailsOrIsIgnored = 1;
inline constexpr int kCannotRead = 2;

int ExitStatus(const Report& report);

}  // namespace check
