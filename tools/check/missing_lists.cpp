#include "tools/check/missing_lists.h"

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/folder.h"
#include "platform/missing_list.h"
#include "platform/readable_file.h"
#include "tools/check/target_survey.h"

namespace check {

void ReadMissingList(const AppModule::SlotPlan& plan, PlannedSlot& slot) {
  if (plan.action != AppModule::SlotAction::kArchive) return;
  std::vector<platform::FolderEntry> listing;
  try {
    listing = platform::ListFolder(plan.archiveFolder);
  } catch (const platform::Error&) {
    return;  // a folder that cannot be listed has a finding of its own
  }
  const std::optional<AppModule::StampedArchive> newest = AppModule::NewestArchive(plan, listing);
  if (!newest) return;
  const std::string name = platform::MissingListName(newest->name);
  bool present = false;
  for (const platform::FolderEntry& entry : listing) {
    present = present || (entry.name == name && entry.kind == platform::EntryKind::kRegularFile);
  }
  if (!present) return;
  MissingList missing;
  missing.path = plan.InArchiveFolder(name);
  std::string text;
  try {
    text = platform::ReadRegularFile(missing.path);
  } catch (const platform::Error& error) {
    missing.entries.push_back(error.what());
    slot.missing = missing;
    return;
  }
  // The first line says what the list is; each further line is one entry.
  size_t start = text.find('\n');
  while (start != std::string::npos && start + 1 < text.size()) {
    const size_t end = text.find('\n', start + 1);
    std::string line = text.substr(start + 1, end == std::string::npos ? end : end - start - 1);
    start = end;
    if (line.empty()) continue;
    ++missing.count;
    if (missing.entries.size() >= kSurveyExamples) continue;
    try {
      missing.entries.push_back(platform::ToUtf8(line));
    } catch (const platform::Error&) {
      missing.entries.push_back(line);
    }
  }
  slot.missing = missing;
}

}  // namespace check
