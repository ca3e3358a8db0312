#include "run/recovery.h"

#include <set>

#include "platform/abandoned.h"
#include "platform/attributes.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "run/cleared_folder.h"
#include "run/program_files.h"
#include "settings/ini_file.h"

namespace AppModule {

namespace {

std::string Now() {
  return platform::DateTimeText(platform::Now());
}

}  // namespace

void RestoreClearedFolders(const std::string& recoveryFile, const std::string& interruptedRun,
                           const ReportFiles& report) {
  clsIniFile records;
  records.FileName(recoveryFile);
  records.RefuseLinks();
  records.Section(kClearedFolderSection);
  std::vector<std::string> lines;
  records.EnumSectionString(lines);
  const std::string run =
      "\tInterruptedRun:" + (interruptedRun.empty() ? "unknown" : interruptedRun);
  for (const std::string& line : lines) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const std::optional<ClearedFolderRecord> record = ParseRecord(records.GetString(key, ""));
    std::string entry;
    if (!record) {
      entry = "Dropped:" + line + "\tReason:not a record of a cleared folder";
    } else {
      const std::string what =
          record->folder + "\tAttributes:" + std::to_string(record->word) + run;
      bool there = true;
      try {
        platform::GetFolderAttributes(record->folder);
      } catch (const platform::Error& e) {
        there = false;
        entry = "Dropped:" + what + "\tReason:" + e.what();
      }
      if (there) {
        try {
          platform::SetFolderAttributes(record->folder, record->word);
        } catch (const platform::Error& e) {
          throw platform::Error("Cannot give " + record->folder +
                                " back the attributes an interrupted run left cleared (" +
                                std::to_string(record->word) + "): " + e.what());
        }
        entry = "Restored:" + what;
      }
    }
    records.DeleteKeyName(key);
    if (!records.GetString(key, "").empty()) {
      throw platform::Error("Cannot remove the record of slot " + key + " from " + recoveryFile);
    }
    RecordRecovery(report, entry, Now());
  }
}

void RemoveAbandonedFiles(const std::vector<std::string>& folders, const ReportFiles& report) {
  std::set<std::string> done;
  for (const std::string& folder : folders) {
    if (!done.insert(folder).second) continue;
    for (const platform::AbandonedFile& file : platform::RemoveAbandonedTemporaryFiles(folder)) {
      const std::string size = "\tBytes:" + std::to_string(file.bytes);
      RecordRecovery(report,
                     file.failure.empty()
                         ? "RemovedTemporaryFile:" + file.path + size
                         : "NotRemoved:" + file.path + size + "\tReason:" + file.failure,
                     Now());
    }
  }
}

}  // namespace AppModule
