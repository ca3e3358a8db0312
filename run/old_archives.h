// Keeping a slot's save folder in bounds: once the slot's new archive is
// written and its fixed-name copy refreshed, the slot's archives beyond the
// newest "BackUP_Keep" (run/slot_plan.h) are removed. Each removal, and each
// archive or folder that could not be dealt with, is recorded in "Retention"
// of the error log; a failure is also a line on standard error, and never
// fails the slot.
#pragma once

#include "run/report.h"
#include "run/slot_plan.h"

namespace AppModule {

// For a slot whose archiver run succeeded. Removes nothing unless the plan
// keeps the newest N and the new archive is in its folder as a regular file.
// Never throws.
void RemoveOldArchives(const SlotPlan& plan, const ReportFiles& report);

}  // namespace AppModule
