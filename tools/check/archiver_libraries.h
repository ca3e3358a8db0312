// The archiver libraries as the next run loads them: each slot's library is
// loaded (never called) the first time a slot needs it, and a library that
// cannot be loaded is named once, with the loader's reason.
#pragma once

#include <map>
#include <string>

#include "archiver/archiver_runner.h"
#include "run/slot_plan.h"
#include "tools/check/report.h"

namespace check {

class ArchiverLibraries {
 public:
  ArchiverLibraries(Unlha32::ArchiverRunner& archivers, Report& report)
      : archivers_(archivers), report_(report) {}

  // Whether the slot's library loads as the run would load it.
  bool Load(const AppModule::SlotPlan& plan);

 private:
  Unlha32::ArchiverRunner& archivers_;
  Report& report_;
  std::map<Unlha32::Library, std::string> reasons_;  // the loader's reason; empty when loaded
};

}  // namespace check
