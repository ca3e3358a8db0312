// The folders the next run writes into, tried on the disk: whether each can
// take new files, named once when it cannot; and whether the settings file
// and the error log beside it can take the run's records.
#pragma once

#include <map>
#include <set>
#include <string>

#include "tools/check/report.h"

namespace check {

// What trying a folder found.
enum class FolderState { kUsable, kMissing, kNotFolder, kNotWritable };

class WritableFolders {
 public:
  explicit WritableFolders(Report& report) : report_(report) {}

  // Whether files can be written into folder; a finding names each folder
  // that cannot take them once, with the consequence for the slot key, the
  // first to write there.
  bool TakeFiles(const std::string& folder, const std::string& key, const std::string& consequence);

 private:
  Report& report_;
  std::map<std::string, FolderState> known_;
  std::set<std::string> reported_;
};

// The run records failures in the settings file and errors in the log
// beside it; both are written by replacing the file from its folder.
void CheckRecordsCanBeWritten(Report& report);

}  // namespace check
