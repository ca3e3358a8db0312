// Where the files of different slots meet: two slots writing one file, and
// archives written into a folder that a slot's target holds.
#pragma once

#include <vector>

#include "run/slot_plan.h"
#include "tools/check/report.h"

namespace check {

// Two slots writing one file: an archive that holds both folders, or a
// fixed copy that holds the other slot's archive.
void CheckSharedNames(const std::vector<AppModule::SlotPlan>& plans, Report& report);

// A folder the run writes archives into that lies inside a target the
// archiver walks: each archive then holds all the earlier ones.
void CheckArchivesInsideTargets(const std::vector<AppModule::SlotPlan>& plans, Report& report);

}  // namespace check
