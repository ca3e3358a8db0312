// What earlier runs recorded and left behind, read through the names and the
// code of the run that wrote them (run/program_files.h, run/report.h,
// run/cleared_folder.h, run/run_lock.h, platform/abandoned.h).
#include <algorithm>
#include <map>
#include <set>

#include "platform/abandoned.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/ini/ini_document.h"
#include "run/cleared_folder.h"
#include "run/program_files.h"
#include "run/report.h"
#include "run/run_lock.h"
#include "run/slot_plan.h"
#include "tools/check/inspection.h"

namespace check {

namespace {

std::string Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return std::string(text);
}

// The key lines of a record section, in file order, which is the order
// they were written in. The whole section is read, however long.
std::vector<Entry> Entries(const std::optional<std::string>& text, const char* section) {
  std::vector<Entry> entries;
  if (!text) return entries;
  for (const std::string& line : platform::ini::SectionLines(*text, section)) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    entries.push_back(Entry{platform::ToUtf8(Trim(std::string_view(line).substr(0, equals))),
                            platform::ToUtf8(Trim(std::string_view(line).substr(equals + 1))), ""});
  }
  return entries;
}

std::vector<Entry> Newest(const std::vector<Entry>& entries) {
  const size_t newest = std::min(entries.size(), kNewestEntries);
  return std::vector<Entry>(entries.rbegin(), entries.rbegin() + static_cast<long>(newest));
}

// Failures with their reasons, the error log, what recoveries did.
void ReadLogs(Report& report) {
  const std::optional<std::string> settings = ReadProfileText(report.settingsPath);
  const std::optional<std::string> log = ReadProfileText(report.logPath);
  std::map<std::string, std::string> reasons;
  for (const Entry& entry : Entries(log, AppModule::kArchiverMessageSection)) {
    if (const auto message = AppModule::ParseArchiverMessage(entry.value)) {
      reasons[entry.key] = message->message;
    }
  }
  std::vector<Entry> failures = Entries(settings, AppModule::kErrorLogSection);
  for (Entry& failure : failures) {
    const auto reason = reasons.find(failure.key);
    if (reason != reasons.end()) failure.reason = reason->second;
  }
  report.errorLogCount = static_cast<int>(failures.size());
  report.newestErrorLog = Newest(failures);
  for (PlannedSlot& slot : report.slots) {
    const auto last = std::find_if(failures.rbegin(), failures.rend(),
                                   [&](const Entry& e) { return e.value == slot.target; });
    if (last != failures.rend()) slot.lastFailure = *last;
  }

  const std::vector<Entry> errors = Entries(log, AppModule::kErrorDescriptionSection);
  report.logCount = static_cast<int>(errors.size());
  if (!errors.empty()) report.newestLogEntry = errors.back();
  const std::vector<Entry> recovery = Entries(log, AppModule::kRecoverySection);
  report.recoveryCount = static_cast<int>(recovery.size());
  report.newestRecovery = Newest(recovery);
  const std::vector<Entry> retention = Entries(log, AppModule::kRetentionSection);
  report.retentionCount = static_cast<int>(retention.size());
  report.newestRetention = Newest(retention);
}

// A run holding the lock now, and the folders an interrupted run left
// cleared; returns whether a run is in progress.
bool ReadRunState(Report& report) {
  std::optional<std::string> holder;
  try {
    holder = AppModule::RunLockHolder(
        AppModule::BesideSettings(report.settingsPath, AppModule::kRunLockExtension));
  } catch (const platform::Error& error) {
    Note(report, "run-state-unknown", "", "",
         std::string("Whether a run is in progress cannot be told: ") + error.what() + ".", "");
  }
  if (holder) {
    Note(report, "run-in-progress", "", "",
         "A run is in progress (" + *holder +
             "): it may change what this check found, and its own files are not counted as "
             "left behind.",
         "Check again once it has ended.");
    return true;
  }
  clsIniFile records;
  records.FileName(AppModule::BesideSettings(report.settingsPath, AppModule::kRecoveryExtension));
  records.Section(AppModule::kClearedFolderSection);
  std::vector<std::string> lines;
  records.EnumSectionString(lines);
  for (const std::string& line : lines) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const auto record = AppModule::ParseRecord(records.GetString(line.substr(0, equals), ""));
    if (!record) continue;
    Note(report, "folder-left-cleared", "", "",
         "An interrupted run left " + Quoted(record->folder) +
             " with its attributes cleared (its own are " + std::to_string(record->word) +
             "): the next run gives them back before anything else.",
         "Start slotbackup once, or wait for its next run.");
  }
  return false;
}

// Temporary files of ended processes in the folders the run sweeps.
void FindLeftFiles(clsIniFile& settings, const platform::LocalTime& now, Report& report) {
  std::vector<std::string> folders{AppModule::ParentFolder(report.settingsPath)};
  for (const std::string& folder :
       AppModule::FoldersWrittenInto(settings, AppModule::ReadSaveSettings(settings), now)) {
    folders.push_back(folder);
  }
  std::set<std::string> done;
  std::vector<std::string> paths;
  uint64_t count = 0, bytes = 0;
  for (const std::string& folder : folders) {
    if (!done.insert(folder).second) continue;
    for (const platform::AbandonedFile& file : platform::FindAbandonedTemporaryFiles(folder)) {
      if (paths.size() < kNewestEntries) paths.push_back(file.path);
      ++count;
      bytes += file.bytes;
    }
  }
  if (count == 0) return;
  Note(report, "temporary-files-left", "", "",
       std::to_string(count) + (count == 1 ? " temporary file" : " temporary files") + " (" +
           std::to_string(bytes) +
           " bytes) left by a run or an archiver that was stopped: " + Listed(paths, count) +
           (count == 1 ? ". The next run removes it." : ". The next run removes them."),
       "Nothing, or start slotbackup to free the space now.");
}

}  // namespace

void ReadRecords(clsIniFile& settings, const platform::LocalTime& now, Report& report) {
  ReadLogs(report);
  if (!ReadRunState(report)) FindLeftFiles(settings, now, report);
}

}  // namespace check
