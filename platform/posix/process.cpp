#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <fstream>
#include <string>

#include "platform/process.h"

namespace platform {

namespace {

// Linux shows a process that has ended but was not yet collected by its
// parent as state 'Z' in /proc/<id>/stat (after the name in parentheses).
bool IsZombie(uint32_t processId) {
  std::ifstream stat("/proc/" + std::to_string(processId) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  const size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

}  // namespace

uint32_t CurrentProcessId() {
  return static_cast<uint32_t>(getpid());
}

bool ProcessIsRunning(uint32_t processId) {
  // 0 and ids beyond pid_t would name process groups or every process.
  if (processId == 0 || processId > static_cast<uint32_t>(INT_MAX)) return false;
  if (kill(static_cast<pid_t>(processId), 0) != 0 && errno == ESRCH) return false;
  return !IsZombie(processId);
}

}  // namespace platform
