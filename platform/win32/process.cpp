#include <windows.h>

#include "platform/process.h"

namespace platform {

uint32_t CurrentProcessId() {
  return GetCurrentProcessId();
}

bool ProcessIsRunning(uint32_t processId) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
  if (process == nullptr) {
    // No such process; any other refusal (access denied) means one exists.
    return GetLastError() != ERROR_INVALID_PARAMETER;
  }
  const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}

}  // namespace platform
