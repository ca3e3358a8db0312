// What "BackUP_Keep" asks of a slot: a count the run cannot use, or one it
// cannot act on, and the archives the next run removes given what the save
// folder holds today.
#pragma once

#include "run/slot_plan.h"
#include "tools/check/report.h"

namespace check {

// Records in slot how many archives it keeps and which ones the next run
// removes; a finding when the slot's value keeps every archive instead.
void CheckKeeping(const AppModule::SlotPlan& plan, PlannedSlot& slot, Report& report);

}  // namespace check
