#include "run/old_archives.h"

#include <algorithm>

#include "platform/clock.h"
#include "platform/error.h"
#include "platform/folder.h"
#include "platform/missing_list.h"

namespace AppModule {

namespace {

void Record(const ReportFiles& report, const std::string& entry, const std::string& line = "") {
  RecordRetention(report, entry, platform::DateTimeText(platform::Now()), line);
}

}  // namespace

void RemoveOldArchives(const SlotPlan& plan, const ReportFiles& report) {
  if (plan.action != SlotAction::kArchive || plan.keepRule != KeepRule::kNewest) return;
  const std::string slot = "\tSlot:" + plan.key;
  std::vector<platform::FolderEntry> listing;
  try {
    listing = platform::ListFolder(plan.archiveFolder);
  } catch (...) {
    const std::string why = DescriptionOfCurrentError();
    Record(report, "NotListed:" + plan.archiveFolder + slot + "\tReason:" + why,
           "slot " + plan.key + ": old archives not removed: " + why);
    return;
  }
  // Without the new archive in place, the old ones are all there is.
  const std::string written = plan.ArchiveFileName();
  const bool inPlace = std::any_of(listing.begin(), listing.end(), [&](const auto& entry) {
    return entry.name == written && entry.kind == platform::EntryKind::kRegularFile;
  });
  if (!inPlace) {
    const std::string why = "the archive just written, " + plan.archivePath +
                            ", is not in the folder as a regular file";
    Record(report, "NotListed:" + plan.archiveFolder + slot + "\tReason:" + why,
           "slot " + plan.key + ": old archives not removed: " + why);
    return;
  }
  for (const StampedArchive& archive : ArchivesToRemove(plan, listing)) {
    const std::string path = plan.InArchiveFolder(archive.name);
    try {
      const uint64_t bytes = platform::RemoveRegularFile(path);
      Record(report, "Removed:" + path + slot + "\tBytes:" + std::to_string(bytes));
      // The list of what that archive lacks goes with it.
      const std::string list = platform::MissingListName(archive.name);
      const bool listed = std::any_of(listing.begin(), listing.end(), [&](const auto& entry) {
        return entry.name == list && entry.kind == platform::EntryKind::kRegularFile;
      });
      if (listed) {
        const std::string listPath = plan.InArchiveFolder(list);
        const uint64_t listBytes = platform::RemoveRegularFile(listPath);
        Record(report, "Removed:" + listPath + slot + "\tBytes:" + std::to_string(listBytes));
      }
    } catch (...) {
      const std::string why = DescriptionOfCurrentError();
      Record(report, "NotRemoved:" + path + slot + "\tReason:" + why,
             "slot " + plan.key + ": old archive not removed: " + why);
    }
  }
}

}  // namespace AppModule
