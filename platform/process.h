// Processes by id: this process's own, and whether another one is still
// running. Temporary file names carry the id of the process that made them
// (platform/temp_name.h), so a file whose process has ended is abandoned.
#pragma once

#include <cstdint>

namespace platform {

uint32_t CurrentProcessId();

// False only when no process of this id exists any more (an ended process
// that nobody has collected yet counts as ended). When the system cannot
// tell, the process counts as running, so nothing of it is ever taken.
bool ProcessIsRunning(uint32_t processId);

}  // namespace platform
