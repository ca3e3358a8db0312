// What the machine offers the archiver libraries' worker threads: the
// processors this process may run on and the physical memory. The worker
// pool's rule for how many threads to start is built on these.
#pragma once

#include <cstdint>

namespace platform {

// The processors this process may run on: its affinity, which a container
// or a start with a restricted mask narrows. At least 1.
unsigned AllowedProcessors();

// Bytes of physical memory; 0 when the system does not tell.
uint64_t PhysicalMemory();

}  // namespace platform
