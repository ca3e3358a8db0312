#include "run/slot_run.h"

#include "platform/files.h"
#include "platform/interrupt.h"
#include "run/app_module.h"
#include "run/cleared_folder.h"
#include "run/old_archives.h"
#include "run/recovery.h"

namespace AppModule {

SlotRun::SlotRun(clsIniFile& settings, const ReportFiles& report, std::string recoveryFile,
                 Unlha32::ArchiverRunner& archivers, Clock clock)
    : settings_(settings),
      report_(report),
      recoveryFile_(std::move(recoveryFile)),
      archivers_(archivers),
      clock_(std::move(clock)),
      save_(ReadSaveSettings(settings)) {}

std::vector<std::string> SlotRun::Folders() {
  return FoldersWrittenInto(settings_, save_, clock_());
}

int SlotRun::RunSlots() {
  bool allArchived = true;
  for (int32_t slot = 0; slot < kSlotCount; ++slot) {
    platform::ThrowIfInterrupted();
    const SlotPlan plan = PlanSlot(settings_, save_, slot, clock_());
    if (plan.Runs() && !RunSlot(plan)) allArchived = false;
  }
  platform::ThrowIfInterrupted();
  if (unrecorded_) return kRunEndedByError;
  return allArchived ? kRunSucceeded : kArchiverRunFailed;
}

bool SlotRun::RunSlot(const SlotPlan& plan) {
  Unlha32::Result result;
  {
    ClearedFolder folder(recoveryFile_, plan.key, plan.target);
    result = Archive(plan);
    folder.Restore();
  }
  if (!result.succeeded) {
    if (!RecordFailedSlot(report_, plan.key, plan.target, result.message,
                          platform::DateTimeText(clock_()))) {
      unrecorded_ = true;
    }
    return false;
  }
  if (!plan.constantPath.empty()) platform::ReplaceWithCopy(plan.archivePath, plan.constantPath);
  RemoveOldArchives(plan, report_);
  return true;
}

// Whatever way an archiver call ends, the temporary files its process left
// in the archive's folder are removed.
Unlha32::Result SlotRun::Archive(const SlotPlan& plan) {
  if (plan.action == SlotAction::kNoArchiver) return Unlha32::Result{true, ""};
  if (plan.action == SlotAction::kRefused) return Unlha32::Result{false, plan.Refusal()};
  struct Sweep {
    std::vector<std::string> folders;
    const ReportFiles& report;
    ~Sweep() {
      try {
        RemoveAbandonedFiles(folders, report);
      } catch (...) {
        // What stays is removed by the next run.
      }
    }
  } sweep{{ParentFolder(plan.archivePath)}, report_};
  return archivers_.Run(plan.library, plan.commandLine);
}

}  // namespace AppModule
