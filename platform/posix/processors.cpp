#include "platform/processors.h"

#include <sched.h>
#include <unistd.h>

#include <thread>

namespace platform {

unsigned AllowedProcessors() {
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
    const int count = CPU_COUNT(&allowed);
    if (count > 0) return static_cast<unsigned>(count);
  }
  // A machine with more processors than a cpu_set_t holds: all of them.
  const unsigned all = std::thread::hardware_concurrency();
  return all > 0 ? all : 1;
}

uint64_t PhysicalMemory() {
  const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return 0;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}

}  // namespace platform
