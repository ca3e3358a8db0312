// The slots of one run, in order. Each is planned (run/slot_plan.h) just
// before it runs, so that its name carries the time it was archived, and
// executed through the archiver runner: the target's attributes are cleared
// around the archiver run and recorded until restored (run/cleared_folder.h),
// a failed run is recorded (run/report.h), a fixed name then gets a copy of
// the new archive, and the slot's archives beyond the newest N go
// (run/old_archives.h).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "archiver/archiver_runner.h"
#include "platform/clock.h"
#include "run/report.h"
#include "run/slot_plan.h"
#include "settings/ini_file.h"

namespace AppModule {

class SlotRun {
 public:
  using Clock = std::function<platform::LocalTime()>;

  // Reads the save settings now; each slot is read when it runs. Cleared
  // folders are recorded in recoveryFile, failures where report says.
  SlotRun(clsIniFile& settings, const ReportFiles& report, std::string recoveryFile,
          Unlha32::ArchiverRunner& archivers, Clock clock = platform::Now);

  // The save folder and the folders the slots write into, as of now.
  std::vector<std::string> Folders();

  // Runs every slot and returns the run's exit status: kRunSucceeded,
  // kArchiverRunFailed when an archiver run failed (and was recorded), or
  // kRunEndedByError when a failed run could not be written to "Error_LOG".
  // Throws platform::Error for what ends the run (a missing target folder, a
  // library that cannot be loaded, a failed copy to a fixed name, ...), with
  // every folder's attributes given back, and platform::Interrupted once a
  // signal has arrived.
  int RunSlots();

 private:
  // Returns false when the slot's archiver run failed.
  bool RunSlot(const SlotPlan& plan);
  Unlha32::Result Archive(const SlotPlan& plan);

  clsIniFile& settings_;
  const ReportFiles& report_;
  std::string recoveryFile_;
  Unlha32::ArchiverRunner& archivers_;
  Clock clock_;
  SaveSettings save_;
  bool unrecorded_ = false;
};

}  // namespace AppModule
