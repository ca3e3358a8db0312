// What the last run of a slot could not read: the list the archiver library
// keeps beside the slot's newest archive (platform/missing_list.h), found
// by the slot plan's own rule for which archive is the newest.
#pragma once

#include "run/slot_plan.h"
#include "tools/check/report.h"

namespace check {

// Fills in slot.missing when the slot's newest archive has a list beside it.
void ReadMissingList(const AppModule::SlotPlan& plan, PlannedSlot& slot);

}  // namespace check
