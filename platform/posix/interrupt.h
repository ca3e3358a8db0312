// What the POSIX archiver call shares with the interrupt handler: the
// process the handler kills, and keeping the handler out while that process
// is being started.
#pragma once

#include <sys/types.h>

namespace platform {

// The process the handler kills (0: none).
void SetProcessToStop(pid_t process);

// Holds back the interrupt signals while it lives.
class InterruptsHeld {
 public:
  InterruptsHeld();
  ~InterruptsHeld() { Release(); }
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;
  // Lets them through now; one that arrived meanwhile is handled at once.
  void Release();

 private:
  bool held_ = true;
};

// In a child process just forked: the interrupt signals get their default
// action again and are let through.
void RestoreDefaultInterrupts();

}  // namespace platform
