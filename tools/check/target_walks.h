// The target folders walked as the archiver library will walk them, within
// the time the check allows for walks in all: what each holds, what the
// library would pass over, and what it could not read.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>

#include "run/slot_plan.h"
#include "tools/check/report.h"
#include "tools/check/target_survey.h"

namespace check {

class TargetWalks {
 public:
  // walkTime: for all walks together; zero walks none.
  TargetWalks(std::chrono::milliseconds walkTime, Report& report)
      : walkTime_(walkTime), report_(report) {}

  // Walks the slot's target (once for every slot backing it up) and records
  // the walk in slot; false when the library would find something it cannot
  // read.
  bool CanBeRead(const AppModule::SlotPlan& plan, PlannedSlot& slot);

 private:
  const std::chrono::milliseconds walkTime_;
  Report& report_;
  std::map<std::string, check::TargetSurvey> walks_;
  std::optional<std::chrono::steady_clock::time_point> deadline_;
};

}  // namespace check
