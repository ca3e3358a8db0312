#include "tools/check/archiver_libraries.h"

#include "platform/error.h"
#include "tools/check/inspection.h"

namespace check {

bool ArchiverLibraries::Load(const AppModule::SlotPlan& plan) {
  auto known = reasons_.find(plan.library);
  if (known == reasons_.end()) {
    std::string reason;
    try {
      archivers_.Load(plan.library);
    } catch (const platform::Error& error) {
      reason = error.what();
    }
    known = reasons_.emplace(plan.library, reason).first;
    if (!reason.empty()) {
      Problem(report_, "archiver-not-loadable", AppModule::kSaveSection, AppModule::kArchiveTypeKey,
              "Slot " + plan.key + ": the archiver library " + Unlha32::LibraryName(plan.library) +
                  " cannot be loaded as the run loads it: " + reason +
                  ". The run stops at this slot with an error in the error log, and no later "
                  "slot is processed.",
              std::string("Install the ") + Unlha32::LibraryName(plan.library) +
                  " library beside slotbackup, in the folder of this settings file.");
    }
  }
  return known->second.empty();
}

}  // namespace check
