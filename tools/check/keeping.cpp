#include "tools/check/keeping.h"

#include "platform/error.h"
#include "platform/folder.h"
#include "tools/check/inspection.h"

namespace check {

void CheckKeeping(const AppModule::SlotPlan& plan, PlannedSlot& slot, Report& report) {
  switch (plan.keepRule) {
    case AppModule::KeepRule::kAll:
      return;
    case AppModule::KeepRule::kInvalid:
      Problem(report, "keep-invalid", AppModule::kKeepSection, plan.key,
              "Slot " + plan.key + ": [" + AppModule::kKeepSection + "] holds " +
                  Quoted(plan.keepText) +
                  ", which is not a whole number of at least 1, so the run keeps every "
                  "archive of the slot and removes none.",
              "Give the number of archives to keep, such as 7.");
      return;
    case AppModule::KeepRule::kWithoutStamp:
      Problem(report, "keep-without-stamp", AppModule::kKeepSection, plan.key,
              "Slot " + plan.key + " is to keep " + plan.keepText + " archives, but " +
                  (plan.nameTemplate.find("%D") == std::string::npos
                       ? "its name " + Quoted(plan.nameTemplate) +
                             " has no %D, so every run writes the same archive and there are "
                             "no older ones to remove."
                       : "the %D of its name " + Quoted(plan.nameTemplate) +
                             " is in a folder, not in the file name, so each run's archive "
                             "lies in a folder of its own; the run removes none."),
              "Put %D in the archive's file name, or delete the slot's line in [" +
                  std::string(AppModule::kKeepSection) + "].");
      return;
    case AppModule::KeepRule::kNewest:
      break;
  }
  slot.keep = plan.keep;
  if (plan.action != AppModule::SlotAction::kArchive) return;
  try {
    for (const AppModule::StampedArchive& archive :
         AppModule::ArchivesToRemove(plan, platform::ListFolder(plan.archiveFolder))) {
      slot.removes.push_back(archive.name);
    }
  } catch (const platform::Error&) {
    // A folder that cannot be listed has a finding of its own.
  }
}

}  // namespace check
